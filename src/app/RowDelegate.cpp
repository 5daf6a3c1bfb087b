#include "app/RowDelegate.h"

#include "app/Style.h"

#include <QPainter>

namespace {

QFont loopBadgeFont()
{
    return Style::fixedFont(9, QFont::DemiBold);
}

} // namespace

void RowDelegate::drawRowBackground(QPainter *painter, const QStyleOptionViewItem &option,
                                    const QModelIndex &index) const
{
    QStyleOptionViewItem base = option;
    initStyleOption(&base, index);
    base.text.clear();
    base.icon = QIcon();
    // A current row that is not selected (the first row once the view has focus) must not
    // look selected: only a selected row shows the focus frame.
    if (!(base.state & QStyle::State_Selected))
        base.state &= ~QStyle::State_HasFocus;
    option.widget->style()->drawControl(QStyle::CE_ItemViewItem, &base, painter, option.widget);
}

void RowDelegate::drawFindingMark(QPainter *painter, QPoint topLeft)
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(Style::warning());
    painter->drawPolygon(
        QPolygon({topLeft + QPoint(6, 0), topLeft + QPoint(12, 11), topLeft + QPoint(0, 11)}));
    painter->setPen(Qt::white);
    painter->drawLine(topLeft + QPoint(6, 4), topLeft + QPoint(6, 7));
    painter->drawPoint(topLeft + QPoint(6, 9));
    painter->restore();
}

int RowDelegate::loopBadgeWidth(const QString &id)
{
    return id.isEmpty() ? 0 : QFontMetrics(loopBadgeFont()).horizontalAdvance(id) + Style::pt(8);
}

void RowDelegate::drawLoopBadge(QPainter *painter, int right, int top, const QString &id,
                                const QPalette &palette, bool selected)
{
    if (id.isEmpty())
        return;
    const QFont font = loopBadgeFont();
    const int width = loopBadgeWidth(id);
    const QRect box(right - width, top + 1, width, QFontMetrics(font).height() + 2);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    QColor fill = palette.color(selected ? QPalette::HighlightedText : QPalette::Highlight);
    fill.setAlphaF(selected ? 0.3f : 0.16f);
    painter->setBrush(fill);
    painter->drawRoundedRect(box, 4, 4);
    painter->setFont(font);
    painter->setPen(palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->drawText(box, Qt::AlignCenter, id);
    painter->restore();
}
