#include "app/InspectorWidgets_p.h"

#include "app/DisplayText.h"
#include "app/ElementTableModel.h"
#include "app/ElementTableView.h"
#include "app/ElidedLabel.h"
#include "app/SelectableText.h"
#include "app/Style.h"
#include "core/model/X12Document.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

namespace {

// The column of the names beside their values, and the gap before the values, in points.
constexpr int nameWidth = 170;
constexpr int nameGap = 8;

void setTextColour(QWidget *widget, const QColor &colour)
{
    QPalette p = widget->palette();
    p.setColor(QPalette::WindowText, colour);
    p.setColor(QPalette::ButtonText, colour);
    widget->setPalette(p);
}

void collectTexts(const QWidget *widget, QStringList &texts)
{
    for (const QObject *child : widget->children()) {
        if (const auto *l = qobject_cast<const QLabel *>(child)) {
            texts << l->text();
        } else if (const auto *selectable = qobject_cast<const SelectableText *>(child)) {
            texts << selectable->text();
        } else if (const auto *table = qobject_cast<const ElementTableView *>(child)) {
            const ElementTableModel *elements = table->elements();
            for (int r = 0; r < elements->rowCount(); ++r) {
                const ElementRow &row = elements->row(r);
                texts << row.ref << row.name << row.value;
                if (row.decoded)
                    texts << *row.decoded;
            }
        } else if (const auto *w = qobject_cast<const QWidget *>(child)) {
            collectTexts(w, texts);
        }
    }
}

} // namespace

namespace detail {

QString moreNote(std::size_t count, const char *one, const char *many)
{
    return QStringLiteral("\u2026 and %L1 more %2")
        .arg(count)
        .arg(QLatin1String(count == 1 ? one : many));
}

QLabel *label(const QString &text, const QFont &font, const QColor &colour, QWidget *parent,
              bool selectable)
{
    auto *l = new QLabel(text, parent);
    l->setFont(font);
    l->setTextFormat(Qt::PlainText);
    setTextColour(l, colour);
    if (selectable)
        l->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return l;
}

ElidedLabel *line(const QString &text, const QFont &font, const QColor &colour, QWidget *parent)
{
    auto *l = new ElidedLabel(text, parent);
    l->setFont(font);
    setTextColour(l, colour);
    return l;
}

SelectableText *text(const QString &text, const QFont &font, const QColor &colour, QWidget *parent)
{
    return new SelectableText(text, font, colour, parent);
}

QWidget *divider(QWidget *parent)
{
    auto *rule = new QFrame(parent);
    rule->setFrameShape(QFrame::NoFrame);
    rule->setFixedHeight(1);
    rule->setAutoFillBackground(true);
    QPalette p = rule->palette();
    p.setColor(QPalette::Window, Style::quaternary(parent->palette()));
    rule->setPalette(p);
    return rule;
}

void addLabeledRow(QVBoxLayout *layout, const QString &name, const QString &value, QWidget *content)
{
    const QPalette &p = content->palette();
    auto *pair = new QHBoxLayout;
    pair->setSpacing(Style::pt(nameGap));
    QLabel *l = line(name, Style::font(12), Style::secondary(p), content);
    l->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    l->setFixedWidth(Style::pt(nameWidth));
    pair->addWidget(l, 0, Qt::AlignTop);
    pair->addWidget(text(value, Style::fixedFont(12), p.color(QPalette::Text), content), 1);
    layout->addLayout(pair);
}

void addLabeledRows(QVBoxLayout *layout, const std::vector<std::pair<QString, QString>> &rows,
                    QWidget *content)
{
    const QPalette &p = content->palette();
    const QFont nameFont = Style::font(12);
    const QFontMetrics names(nameFont);
    QStringList lines;
    for (const auto &[name, value] : rows)
        lines << names.elidedText(name, Qt::ElideRight, Style::pt(nameWidth)) + u'\t' + value;
    SelectableText *list =
        text(lines.join(u'\n'), Style::fixedFont(12), p.color(QPalette::Text), content);
    // The value after a tab stop where a row's value starts; wrapped lines start there too.
    QTextDocument *document = list->document();
    const int column = Style::pt(nameWidth + nameGap);
    QTextCharFormat nameFormat;
    nameFormat.setFont(nameFont);
    nameFormat.setForeground(Style::secondary(p));
    QTextBlockFormat rowFormat;
    rowFormat.setTabPositions({QTextOption::Tab(column, QTextOption::LeftTab)});
    rowFormat.setLeftMargin(column);
    rowFormat.setTextIndent(-column);
    rowFormat.setBottomMargin(layout->spacing());
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        cursor.setPosition(block.position());
        cursor.setBlockFormat(rowFormat);
        cursor.setPosition(block.position() + int(block.text().indexOf(u'\t')),
                           QTextCursor::KeepAnchor);
        cursor.setCharFormat(nameFormat);
    }
    rowFormat.setBottomMargin(0); // none under the last row, which the cursor is in
    cursor.setBlockFormat(rowFormat);
    cursor.endEditBlock();
    layout->addWidget(list);
}

void addDelimiterRows(QVBoxLayout *layout, const X12Delimiters &d, QWidget *content)
{
    using DisplayText::delimiter;
    addLabeledRow(layout, QStringLiteral("Element separator"), delimiter(d.element), content);
    addLabeledRow(layout, QStringLiteral("Component separator"), delimiter(d.component), content);
    addLabeledRow(layout, QStringLiteral("Repetition separator"), delimiter(d.repetition), content);
    addLabeledRow(layout, QStringLiteral("Segment terminator"), delimiter(d.segment), content);
}

QStringList texts(const QWidget *widget)
{
    QStringList all;
    if (widget)
        collectTexts(widget, all);
    return all;
}

} // namespace detail
