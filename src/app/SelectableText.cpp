#include "app/SelectableText.h"

#include "app/Style.h"

#include <QTextCursor>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

/// The widest line of `text` in `font`, measured on its first few hundred characters: enough to
/// fill any column.
int naturalWidth(const QString &text, const QFont &font)
{
    const QFontMetricsF metrics(font);
    qreal widest = 0;
    for (const QStringView line : QStringView(text).split(u'\n'))
        widest = std::max(widest, metrics.horizontalAdvance(line.left(400).toString()));
    return int(std::ceil(widest)) + 1;
}

} // namespace

SelectableText::SelectableText(const QString &text, const QFont &font, const QColor &colour,
                               QWidget *parent)
    : QTextEdit(parent), m_naturalWidth(naturalWidth(text, font))
{
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // The background is the inspector's (or the widget's own, when it fills it).
    viewport()->setAutoFillBackground(false);
    document()->setDocumentMargin(0);
    setFont(font);
    QPalette p = palette();
    p.setColor(QPalette::Text, colour);
    p.setColor(QPalette::Base, Qt::transparent);
    setPalette(p);
    setPlainText(text);
    m_naturalWidth += int(std::ceil(2 * document()->documentMargin()));
    for (const QTextLayout::FormatRange &range : Style::regularControlPictures(text, font)) {
        QTextCursor cursor(document());
        cursor.setPosition(range.start);
        cursor.setPosition(range.start + range.length, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(range.format);
    }
}

int SelectableText::contentHeight() const
{
    return int(std::ceil(document()->size().height())) + 2 * frameWidth();
}

QSize SelectableText::sizeHint() const
{
    return {m_naturalWidth, contentHeight()};
}

QSize SelectableText::minimumSizeHint() const
{
    return {std::min(m_naturalWidth, Style::pt(40)), contentHeight()};
}

void SelectableText::resizeEvent(QResizeEvent *event)
{
    QTextEdit::resizeEvent(event);
    // A new width wraps the lines anew: the layout learns of the height that follows.
    const int height = contentHeight();
    if (height != m_fittedHeight) {
        m_fittedHeight = height;
        updateGeometry();
    }
}

void SelectableText::wheelEvent(QWheelEvent *event)
{
    event->ignore();
}
