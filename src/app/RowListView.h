#pragma once

#include <QAbstractItemView>

/// A flat list of rows that all have the height its delegate gives the first: millions of rows
/// cost no more than a screenful. Where each row is follows from its number, so a new model
/// takes no layout pass, and painting, hit-testing and scrolling touch only the rows on screen.
/// It scrolls a row at a time vertically and a pixel at a time horizontally; rows are at least as
/// wide as the viewport, with `spacing` pixels around each.
class RowListView : public QAbstractItemView
{
public:
    explicit RowListView(QWidget *parent = nullptr);

    void setSpacing(int spacing);
    int spacing() const { return m_spacing; }

    /// Makes a row current and the only one selected, and scrolls to it.
    void chooseRow(int row, ScrollHint hint = EnsureVisible);
    /// Chooses the row `delta` rows away from `row`, wrapping around; from no row (-1), the first
    /// row going forwards or the last going backwards. False when there are no rows.
    bool chooseRowAway(int row, int delta);

    QRect visualRect(const QModelIndex &index) const override;
    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint &point) const override;
    void reset() override;

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex &index) const override;
    void setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection &selection) const override;
    void initViewItemOption(QStyleOptionViewItem *option) const override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    void paintEvent(QPaintEvent *event) override;
    bool viewportEvent(QEvent *event) override;

private:
    int rowCount() const;
    /// The size every row's delegate gives, spacing left out.
    QSize itemSize() const;
    /// From one row's top to the next row's: each row has its spacing above and below.
    int pitch() const;
    /// The row under viewport height `y`, whether or not there is such a row: below 0 above the
    /// first, rowCount() or more below the last.
    qint64 rowAtY(int y) const;
    /// How many whole rows the viewport shows, at least one.
    int rowsThatFit() const;
    /// The row under the mouse, for the hover look, or -1.
    int m_hoverRow = -1;
    int m_spacing = 0;
};
