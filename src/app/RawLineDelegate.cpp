#include "app/RawLineDelegate.h"

#include "app/DocumentRoles.h"
#include "app/Style.h"

#include <QPainter>

void RawLineDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                            const QModelIndex &index) const
{
    drawRowBackground(painter, option, index);
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette &palette = option.palette;
    const QFont rawFont = Style::fixedFont(12);
    const QFontMetrics metrics(rawFont);
    const int baseline = option.rect.top() + metrics.ascent() + 1;
    painter->setFont(Style::fixedFont(10));
    painter->setPen(selected ? palette.color(QPalette::HighlightedText) : Style::tertiary(palette));
    const int positionWidth = Style::pt(46);
    painter->drawText(
        QRect(option.rect.left(), option.rect.top(), positionWidth, metrics.height() + 1),
        Qt::AlignRight | Qt::AlignBottom, index.data(PositionRole).toString());
    painter->setFont(rawFont);
    const QString raw = index.data(RawRole).toString();
    const int textLeft = option.rect.left() + positionWidth + Style::pt(10);
    if (!m_query.isEmpty()) {
        QColor mark = QColor(0xFF, 0xD6, 0x0A);
        mark.setAlphaF(selected ? 0.55f : 0.45f);
        for (qsizetype at = raw.indexOf(m_query, 0, Qt::CaseInsensitive); at >= 0;
             at = raw.indexOf(m_query, at + m_query.size(), Qt::CaseInsensitive)) {
            const int x = textLeft + metrics.horizontalAdvance(raw.left(at));
            const int w = metrics.horizontalAdvance(raw.mid(at, m_query.size()));
            painter->fillRect(QRect(x, option.rect.top() + 1, w, option.rect.height() - 2), mark);
        }
    }
    painter->setPen(palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->drawText(QPoint(textLeft, baseline), raw);
}

QSize RawLineDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    return {m_width, QFontMetrics(Style::fixedFont(12)).height() + 2 + 2};
}
