#include "app/NodeRowDelegate.h"

#include "app/DocumentRoles.h"
#include "app/Style.h"
#include "core/model/X12Document.h"

#include <QPainter>

void NodeRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                            const QModelIndex &index) const
{
    drawRowBackground(painter, option, index);

    const auto kind = X12Node::Kind(index.data(KindRole).toInt());
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette &palette = option.palette;
    const QColor text = palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
    QColor secondary = selected ? text : Style::secondary(palette);
    QColor tertiary = selected ? text : Style::tertiary(palette);

    QRect r = option.rect.adjusted(2, 1, -6, -1);
    // The icon in a frame 16 points wide, then the texts 8 points further.
    const int icon = Style::pt(12), frame = Style::pt(16), gap = Style::pt(8);
    Style::kindIcon(kind, palette)
        .paint(painter, QRect(r.left() + (frame - icon) / 2, r.top() + 3, icon, icon));
    const QString position = index.data(PositionRole).toString();
    const QFont positionFont = Style::fixedFont(9);
    const int positionWidth = QFontMetrics(positionFont).horizontalAdvance(position);
    const bool finding = index.data(FindingRole).toBool();
    // Right to left: the position, the finding mark, the loop badge.
    const int badgeRight = r.right() - positionWidth - gap - (finding ? Style::pt(12) : 0);
    const QString loop = index.data(LoopRole).toString();
    const int badgeWidth = loopBadgeWidth(loop);
    const QRect textRect(r.left() + frame + gap, r.top(),
                         badgeRight - (badgeWidth > 0 ? badgeWidth + gap : 0) -
                             (r.left() + frame + gap),
                         r.height());

    const QFont titleFont = Style::font(12, Style::kindWeight(kind));
    const QFontMetrics titleMetrics(titleFont);
    painter->setPen(text);
    Style::drawLine(painter, QPoint(textRect.left(), textRect.top() + titleMetrics.ascent() + 1),
                    index.data().toString(), titleFont, textRect.width());
    painter->setFont(positionFont);
    painter->setPen(tertiary);
    painter->drawText(QPoint(r.right() - positionWidth, textRect.top() + titleMetrics.ascent() + 1),
                      position);
    if (finding)
        drawFindingMark(painter,
                        QPoint(r.right() - positionWidth - Style::pt(12), textRect.top() + 4));
    drawLoopBadge(painter, badgeRight, textRect.top(), loop, palette, selected);

    const QString subtitle = index.data(SubtitleRole).toString();
    if (!subtitle.isEmpty()) {
        const QFont subtitleFont = Style::font(10.5);
        const QFontMetrics subtitleMetrics(subtitleFont);
        painter->setFont(subtitleFont);
        painter->setPen(secondary);
        painter->drawText(QPoint(textRect.left(), textRect.top() + titleMetrics.height() + 1 +
                                                      subtitleMetrics.ascent()),
                          subtitleMetrics.elidedText(subtitle, Qt::ElideRight, textRect.width()));
    }
}

QSize NodeRowDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    // Every row has room for a subtitle, so the view can use uniform row heights.
    const int height =
        QFontMetrics(Style::font(12)).height() + QFontMetrics(Style::font(10.5)).height() + 3;
    return {300, height};
}
