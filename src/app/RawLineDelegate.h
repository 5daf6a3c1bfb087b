#pragma once

#include "app/RowDelegate.h"

#include <QString>

/// A raw line: the position right-aligned in 46 points, then the raw segment, unwrapped; what the
/// search matches is highlighted.
class RawLineDelegate : public RowDelegate
{
    Q_OBJECT

public:
    using RowDelegate::RowDelegate;

    /// The width of the widest line, so the view scrolls sideways.
    void setLineWidth(int width) { m_width = width; }
    /// What the search matches, highlighted in each line; empty for none.
    void setQuery(const QString &query) { m_query = query; }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    int m_width = 400;
    QString m_query;
};
