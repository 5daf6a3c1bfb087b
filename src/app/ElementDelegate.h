#pragma once

#include <QStyledItemDelegate>

/// A cell of the element table: striped rows, wrapped text, and under a value its readable form.
class ElementDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    // Room around a cell's text, in points.
    static constexpr double cellPaddingX = 6;
    static constexpr double cellPaddingY = 4;
    /// The font of a column's text (ElementTableModel::Column).
    static QFont cellFont(int column);
    /// The width of the reference column that shows `reference` whole, on one line.
    static int referenceWidth(const QString &reference);

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
