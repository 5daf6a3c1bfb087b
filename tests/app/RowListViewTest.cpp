#include "app/RowListView.h"

#include <QAbstractListModel>
#include <QApplication>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTest>

#include <gtest/gtest.h>

namespace {

/// As many rows as asked for, none of them stored: row i reads "i".
class CountingModel : public QAbstractListModel
{
public:
    explicit CountingModel(int rows) : m_rows(rows) {}
    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : m_rows;
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        return role == Qt::DisplayRole ? QVariant(index.row()) : QVariant();
    }

private:
    int m_rows;
};

/// Rows 20 pixels high.
class FixedDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const override
    {
        return {120, 20};
    }
};

struct Fixture
{
    explicit Fixture(int rows, int spacing = 0) : model(rows)
    {
        view.setItemDelegate(new FixedDelegate(&view));
        view.setSpacing(spacing);
        view.setModel(&model);
        view.resize(300, 210);
        view.show();
        QApplication::processEvents();
    }
    int rowAt(int y) const { return view.indexAt(QPoint(10, y)).row(); }

    CountingModel model;
    RowListView view;
};

TEST(RowListViewTest, RowsAreFoundWhereTheyArePaintedWithSpacing)
{
    Fixture f(1000, 2);
    // Each row: 2 pixels above, 20 of row, 2 below.
    EXPECT_EQ(f.view.visualRect(f.model.index(0)), QRect(2, 2, f.view.viewport()->width() - 4, 20));
    EXPECT_EQ(f.view.visualRect(f.model.index(3)).top(), 2 + 3 * 24);
    EXPECT_EQ(f.rowAt(2), 0);
    EXPECT_EQ(f.rowAt(21), 0);
    EXPECT_EQ(f.rowAt(23), -1); // in the spacing between rows 0 and 1
    EXPECT_EQ(f.rowAt(26), 1);
    EXPECT_EQ(f.rowAt(0), -1);

    // Scrolled by rows: row 10 is then the first.
    f.view.verticalScrollBar()->setValue(10);
    EXPECT_EQ(f.rowAt(2), 10);
    EXPECT_EQ(f.view.visualRect(f.model.index(9)).bottom(), 2 - 24 + 19);

    // A click selects the row under it; the spacing below a row belongs to that row.
    f.view.setSelectionMode(QAbstractItemView::ExtendedSelection);
    QTest::mouseClick(f.view.viewport(), Qt::LeftButton, {}, QPoint(10, 2 + 24 + 5));
    EXPECT_EQ(f.view.currentIndex().row(), 11);
    QTest::mouseClick(f.view.viewport(), Qt::LeftButton, Qt::ShiftModifier,
                      QPoint(10, 2 + 4 * 24 + 5));
    const QModelIndexList selected = f.view.selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 4);
    EXPECT_EQ(selected.front().row() + selected.back().row(), 11 + 14);
}

TEST(RowListViewTest, KeysAndScrollingReachEveryRowOfAHugeList)
{
    // Rows enough that their pixels do not fit in an int.
    constexpr int rows = 200'000'000;
    Fixture f(rows);
    f.view.setFocus();
    QTest::keyClick(&f.view, Qt::Key_Home);
    QTest::keyClick(&f.view, Qt::Key_Up);
    EXPECT_EQ(f.view.currentIndex().row(), 0);
    QTest::keyClick(&f.view, Qt::Key_End);
    EXPECT_EQ(f.view.currentIndex().row(), rows - 1);
    EXPECT_TRUE(f.view.viewport()->rect().contains(f.view.visualRect(f.view.currentIndex())));
    EXPECT_EQ(f.rowAt(f.view.visualRect(f.view.currentIndex()).center().y()), rows - 1);
    QTest::keyClick(&f.view, Qt::Key_Down);
    EXPECT_EQ(f.view.currentIndex().row(), rows - 1);

    // A page keeps the rows it moves between on one screen: the viewport shows ten.
    const int shown = f.view.viewport()->height() / 20;
    QTest::keyClick(&f.view, Qt::Key_PageUp);
    EXPECT_EQ(f.view.currentIndex().row(), rows - 1 - (shown - 1));
    QTest::keyClick(&f.view, Qt::Key_Home);
    EXPECT_EQ(f.view.currentIndex().row(), 0);
    EXPECT_EQ(f.view.verticalScrollBar()->value(), 0);

    // A row far down, centred.
    f.view.scrollTo(f.model.index(150'000'000), QAbstractItemView::PositionAtCenter);
    EXPECT_EQ(f.view.verticalScrollBar()->value(), 150'000'000 - shown / 2);
    EXPECT_EQ(f.rowAt(f.view.visualRect(f.model.index(150'000'000)).center().y()), 150'000'000);
    // Rows far off screen stay off it.
    EXPECT_LT(f.view.visualRect(f.model.index(0)).bottom(), 0);
    EXPECT_GT(f.view.visualRect(f.model.index(rows - 1)).top(), f.view.viewport()->height());
}

} // namespace
