#include "app/SegmentRowDelegate.h"

#include "app/DocumentRoles.h"
#include "app/Style.h"

#include <QPainter>

void SegmentRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                               const QModelIndex &index) const
{
    drawRowBackground(painter, option, index);

    const bool selected = option.state & QStyle::State_Selected;
    const QPalette &palette = option.palette;
    const QColor text = palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
    const QRect r = option.rect.adjusted(4, 1, -4, -1);

    const QFont nameFont = Style::font(12);
    const QFontMetrics nameMetrics(nameFont);
    const int baseline = r.top() + nameMetrics.ascent() + 1;
    painter->setFont(Style::fixedFont(10));
    painter->setPen(selected ? text : Style::tertiary(palette));
    const int positionWidth = Style::pt(44), tagWidth = Style::pt(38), gap = Style::pt(8);
    painter->drawText(QRect(r.left(), r.top(), positionWidth, nameMetrics.height() + 1),
                      Qt::AlignRight | Qt::AlignBottom, index.data(PositionRole).toString());
    if (index.data(FindingRole).toBool())
        drawFindingMark(painter, QPoint(r.left(), r.top() + 4));
    painter->setPen(text);
    // A tag longer than its column (a runaway or binary one) is cut to it.
    Style::drawLine(painter, QPoint(r.left() + positionWidth + gap, baseline),
                    index.data(TagRole).toString(), Style::fixedFont(11, QFont::Bold), tagWidth);
    const int textLeft = r.left() + positionWidth + gap + tagWidth + gap;
    const QString loop = index.data(LoopRole).toString();
    const int badgeWidth = loopBadgeWidth(loop);
    drawLoopBadge(painter, r.right(), r.top(), loop, palette, selected);
    painter->setFont(nameFont);
    painter->setPen(text);
    painter->drawText(
        QPoint(textLeft, baseline),
        nameMetrics.elidedText(index.data().toString(), Qt::ElideRight,
                               r.right() - textLeft - (badgeWidth > 0 ? badgeWidth + gap : 0)));
    const QString subtitle = index.data(SubtitleRole).toString();
    if (!subtitle.isEmpty()) {
        const QFont subtitleFont = Style::font(10.5);
        const QFontMetrics metrics(subtitleFont);
        painter->setFont(subtitleFont);
        painter->setPen(selected ? text : Style::secondary(palette));
        painter->drawText(QPoint(textLeft, r.top() + nameMetrics.height() + 1 + metrics.ascent()),
                          metrics.elidedText(subtitle, Qt::ElideRight, r.right() - textLeft));
    }
}

QSize SegmentRowDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    return {300,
            QFontMetrics(Style::font(12)).height() + QFontMetrics(Style::font(10.5)).height() + 3};
}
