#pragma once

#include <QStyledItemDelegate>

/// A delegate that paints its own texts over the style's row background, with the marks the rows
/// of the document's views share: a finding's warning and a guide loop's badge.
class RowDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    /// The row's background and selection, as the style draws them, without text or icon.
    void drawRowBackground(QPainter *painter, const QStyleOptionViewItem &option,
                           const QModelIndex &index) const;

    /// The warning mark of a segment with an envelope finding, in a 12-pixel square.
    static void drawFindingMark(QPainter *painter, QPoint topLeft);
    /// The width of the badge of guide loop `id`; 0 for no loop.
    static int loopBadgeWidth(const QString &id);
    /// Draws the badge of loop `id` (a small rounded frame) ending at `right`, on the line whose
    /// text starts at `top`.
    static void drawLoopBadge(QPainter *painter, int right, int top, const QString &id,
                              const QPalette &palette, bool selected);
};
