#pragma once

#include "app/RowDelegate.h"

/// A tree row: the kind's icon, the title (and subtitle under it), the position on the right.
class NodeRowDelegate : public RowDelegate
{
    Q_OBJECT

public:
    using RowDelegate::RowDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
