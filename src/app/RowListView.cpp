#include "app/RowListView.h"

#include <QAbstractItemDelegate>
#include <QPaintEvent>
#include <QScrollBar>
#include <QStylePainter>

#include <algorithm>

namespace {

/// A coordinate far enough off screen for any row that is, kept within int.
int clampedCoordinate(qint64 value)
{
    constexpr qint64 far = qint64(1) << 30;
    return int(std::clamp(value, -far, far));
}

} // namespace

RowListView::RowListView(QWidget *parent) : QAbstractItemView(parent)
{
    setSelectionMode(SingleSelection);
    setAttribute(Qt::WA_MacShowFocusRect);
    viewport()->setAttribute(Qt::WA_Hover);
}

void RowListView::setSpacing(int spacing)
{
    m_spacing = std::max(0, spacing);
    doItemsLayout();
}

void RowListView::chooseRow(int row, ScrollHint hint)
{
    const QModelIndex index = model()->index(row, 0, rootIndex());
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index, hint);
}

bool RowListView::chooseRowAway(int row, int delta)
{
    const int count = rowCount();
    if (count == 0)
        return false;
    if (row < 0)
        chooseRow(delta >= 0 ? 0 : count - 1);
    else
        chooseRow(((row + delta) % count + count) % count);
    return true;
}

int RowListView::rowCount() const
{
    return model() ? model()->rowCount(rootIndex()) : 0;
}

QSize RowListView::itemSize() const
{
    QAbstractItemDelegate *delegate = itemDelegate();
    if (!delegate)
        return {};
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QModelIndex first = rowCount() > 0 ? model()->index(0, 0, rootIndex()) : QModelIndex();
    return delegate->sizeHint(option, first);
}

int RowListView::pitch() const
{
    return std::max(1, itemSize().height() + 2 * m_spacing);
}

qint64 RowListView::rowAtY(int y) const
{
    const qint64 step = pitch();
    const qint64 offset = qint64(y) - m_spacing;
    // Rounded down, so that the spacing under a row belongs to it and the margin above the
    // first row to none.
    const qint64 rows = offset >= 0 ? offset / step : -((-offset + step - 1) / step);
    return verticalScrollBar()->value() + rows;
}

int RowListView::rowsThatFit() const
{
    // The last row's spacing under it may fall outside.
    return std::max(1, (viewport()->height() + m_spacing) / pitch());
}

QRect RowListView::visualRect(const QModelIndex &index) const
{
    if (!index.isValid() || index.parent() != rootIndex() || index.column() != 0)
        return {};
    const QSize size = itemSize();
    const qint64 top =
        m_spacing + (qint64(index.row()) - verticalScrollBar()->value()) * qint64(pitch());
    return {m_spacing - horizontalOffset(), clampedCoordinate(top),
            std::max(size.width(), viewport()->width() - 2 * m_spacing), size.height()};
}

void RowListView::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    // The scroll bars must know of a model just set before they are moved.
    executeDelayedItemsLayout();
    const QRect rect = visualRect(index);
    if (!rect.isValid())
        return;
    const QRect area = viewport()->rect();
    if (hint == EnsureVisible) {
        if (area.contains(rect)) {
            viewport()->update(rect);
            return;
        }
        if (rect.top() < area.top())
            hint = PositionAtTop;
        else if (rect.bottom() > area.bottom())
            hint = PositionAtBottom;
        else
            return; // only its width is cut, and rows are not scrolled sideways to be shown
    }
    const int row = index.row();
    const int shown = std::min(rowsThatFit(), row + 1);
    switch (hint) {
    case PositionAtTop:
        verticalScrollBar()->setValue(row);
        break;
    case PositionAtBottom:
        verticalScrollBar()->setValue(row - shown + 1);
        break;
    case PositionAtCenter:
        verticalScrollBar()->setValue(row - shown / 2);
        break;
    case EnsureVisible:
        break;
    }
}

QModelIndex RowListView::indexAt(const QPoint &point) const
{
    const qint64 row = rowAtY(point.y());
    if (row < 0 || row >= rowCount())
        return {};
    const QModelIndex index = model()->index(int(row), 0, rootIndex());
    return visualRect(index).contains(point) ? index : QModelIndex();
}

void RowListView::reset()
{
    m_hoverRow = -1;
    QAbstractItemView::reset();
}

QModelIndex RowListView::moveCursor(CursorAction action, Qt::KeyboardModifiers)
{
    const int count = rowCount();
    if (count == 0)
        return {};
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return model()->index(action == MoveEnd ? count - 1 : 0, 0, rootIndex());
    const int height = itemSize().height();
    // A page keeps the rows it moves between on one screen.
    const int page =
        height >= viewport()->height() ? 1 : std::max(1, (viewport()->height() - height) / pitch());
    int row = current.row();
    switch (action) {
    case MoveUp:
    case MovePrevious:
        row -= 1;
        break;
    case MoveDown:
    case MoveNext:
        row += 1;
        break;
    case MovePageUp:
        row -= page;
        break;
    case MovePageDown:
        row += page;
        break;
    case MoveHome:
        row = 0;
        break;
    case MoveEnd:
        row = count - 1;
        break;
    case MoveLeft:
    case MoveRight:
        break;
    }
    const bool step =
        action == MoveUp || action == MovePrevious || action == MoveDown || action == MoveNext;
    if (step && (row < 0 || row >= count))
        return current;
    return model()->index(std::clamp(row, 0, count - 1), 0, rootIndex());
}

int RowListView::horizontalOffset() const
{
    return horizontalScrollBar()->value();
}

int RowListView::verticalOffset() const
{
    return clampedCoordinate(qint64(verticalScrollBar()->value()) * pitch());
}

bool RowListView::isIndexHidden(const QModelIndex &) const
{
    return false;
}

void RowListView::setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command)
{
    if (!selectionModel())
        return;
    const QRect area = rect.normalized();
    const qint64 first = std::max<qint64>(0, rowAtY(area.top()));
    const qint64 last = std::min<qint64>(rowCount() - 1, rowAtY(area.bottom()));
    QItemSelection selection;
    if (first <= last)
        selection.select(model()->index(int(first), 0, rootIndex()),
                         model()->index(int(last), 0, rootIndex()));
    selectionModel()->select(selection, command);
}

QRegion RowListView::visualRegionForSelection(const QItemSelection &selection) const
{
    QRegion region;
    const QRect area = viewport()->rect();
    for (const QItemSelectionRange &range : selection) {
        if (!range.isValid() || range.parent() != rootIndex())
            continue;
        const QRect rect(visualRect(model()->index(range.top(), 0, rootIndex())).topLeft(),
                         visualRect(model()->index(range.bottom(), 0, rootIndex())).bottomRight());
        if (area.intersects(rect))
            region += rect;
    }
    return region;
}

void RowListView::initViewItemOption(QStyleOptionViewItem *option) const
{
    QAbstractItemView::initViewItemOption(option);
    if (!iconSize().isValid()) {
        const int size = style()->pixelMetric(QStyle::PM_ListViewIconSize, nullptr, this);
        option->decorationSize = QSize(size, size);
    }
    option->decorationPosition = QStyleOptionViewItem::Left;
    option->viewItemPosition = QStyleOptionViewItem::OnlyOne;
}

void RowListView::updateGeometries()
{
    const int count = rowCount();
    const QSize size = itemSize();
    const int step = pitch();
    if (count == 0 || geometry().isEmpty()) {
        horizontalScrollBar()->setRange(0, 0);
        verticalScrollBar()->setRange(0, 0);
    } else {
        const qint64 height = qint64(count) * step;
        const int width = size.width() + 2 * m_spacing;
        horizontalScrollBar()->setSingleStep(size.width() + m_spacing);
        horizontalScrollBar()->setPageStep(viewport()->width());
        horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
        // A row at a time: as many to a page as fit with a spacing to spare.
        const int page = height <= viewport()->height()
                             ? count + 1
                             : std::max(1, viewport()->height() / (step + m_spacing));
        verticalScrollBar()->setSingleStep(1);
        verticalScrollBar()->setPageStep(page);
        verticalScrollBar()->setRange(0, std::max(0, count - page));
    }
    QAbstractItemView::updateGeometries();
}

void RowListView::scrollContentsBy(int, int)
{
    // The vertical scroll bar counts rows, not pixels: everything on screen is painted again.
    viewport()->update();
}

void RowListView::paintEvent(QPaintEvent *event)
{
    QAbstractItemDelegate *delegate = itemDelegate();
    const int count = rowCount();
    if (!delegate || count == 0)
        return;
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    QStylePainter painter(viewport());
    const QModelIndex current = currentIndex();
    const bool focus = (hasFocus() || viewport()->hasFocus()) && current.isValid();
    const QStyle::State state = option.state;
    const bool enabled = state.testFlag(QStyle::State_Enabled);
    const qint64 first = std::max<qint64>(0, rowAtY(event->rect().top()));
    const qint64 last = std::min<qint64>(count - 1, rowAtY(event->rect().bottom()));
    for (qint64 row = first; row <= last; ++row) {
        const QModelIndex index = model()->index(int(row), 0, rootIndex());
        option.rect = visualRect(index);
        option.state = state;
        if (selectionModel() && selectionModel()->isSelected(index))
            option.state |= QStyle::State_Selected;
        if (enabled) {
            const bool itemEnabled = model()->flags(index).testFlag(Qt::ItemIsEnabled);
            option.state.setFlag(QStyle::State_Enabled, itemEnabled);
            option.palette.setCurrentColorGroup(itemEnabled ? QPalette::Normal
                                                            : QPalette::Disabled);
        }
        if (focus && index == current)
            option.state |= QStyle::State_HasFocus;
        option.state.setFlag(QStyle::State_MouseOver, row == m_hoverRow);
        delegate->paint(&painter, option, index);
    }
}

bool RowListView::viewportEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::HoverEnter:
    case QEvent::HoverMove:
    case QEvent::HoverLeave: {
        const QModelIndex hovered =
            event->type() == QEvent::HoverLeave
                ? QModelIndex()
                : indexAt(static_cast<QHoverEvent *>(event)->position().toPoint());
        const int row = hovered.isValid() ? hovered.row() : -1;
        if (row != m_hoverRow) {
            if (m_hoverRow >= 0 && m_hoverRow < rowCount())
                viewport()->update(visualRect(model()->index(m_hoverRow, 0, rootIndex())));
            m_hoverRow = row;
            if (hovered.isValid())
                viewport()->update(visualRect(hovered));
        }
        break;
    }
    default:
        break;
    }
    return QAbstractItemView::viewportEvent(event);
}
