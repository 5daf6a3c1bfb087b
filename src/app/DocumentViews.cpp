#include "app/DocumentViews.h"

#include "app/WindowSession.h"
#include "app/DisplayText.h"
#include "app/DocumentModels.h"
#include "app/Inspector.h"
#include "app/RowListView.h"
#include "app/Style.h"
#include "core/dictionary/X12Dictionary.h"
#include "core/model/X12Document.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

namespace {

/// The orange mark of a segment with an envelope finding, in a 12-pixel square.
void drawFindingMark(QPainter *painter, QPoint topLeft)
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(QColor(0xFF, 0x95, 0x00));
    painter->drawPolygon(
        QPolygon({topLeft + QPoint(6, 0), topLeft + QPoint(12, 11), topLeft + QPoint(0, 11)}));
    painter->setPen(Qt::white);
    painter->drawLine(topLeft + QPoint(6, 4), topLeft + QPoint(6, 7));
    painter->drawPoint(topLeft + QPoint(6, 9));
    painter->restore();
}

/// A guide loop's ID in a small rounded frame, as wide as loopBadgeWidth says.
QFont loopBadgeFont()
{
    return Style::fixedFont(9, QFont::DemiBold);
}

int loopBadgeWidth(const QString &id)
{
    return id.isEmpty() ? 0 : QFontMetrics(loopBadgeFont()).horizontalAdvance(id) + Style::pt(8);
}

/// Draws the badge of loop `id` ending at `right`, on the line whose text starts at `top`.
void drawLoopBadge(QPainter *painter, int right, int top, const QString &id,
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

/// A delegate that paints its own texts over the style's row background.
class RowDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    /// The row's background and selection, as the style draws them, without text or icon.
    void drawRowBackground(QPainter *painter, const QStyleOptionViewItem &option,
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
};

/// A tree row: the kind's icon, the title (and subtitle under it), the position on the right.
class NodeRowDelegate : public RowDelegate
{
public:
    using RowDelegate::RowDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
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
        painter->setFont(titleFont);
        painter->setPen(text);
        const QString title =
            titleMetrics.elidedText(index.data().toString(), Qt::ElideRight, textRect.width());
        painter->drawText(QPoint(textRect.left(), textRect.top() + titleMetrics.ascent() + 1),
                          title);
        painter->setFont(positionFont);
        painter->setPen(tertiary);
        painter->drawText(
            QPoint(r.right() - positionWidth, textRect.top() + titleMetrics.ascent() + 1),
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
            painter->drawText(
                QPoint(textRect.left(),
                       textRect.top() + titleMetrics.height() + 1 + subtitleMetrics.ascent()),
                subtitleMetrics.elidedText(subtitle, Qt::ElideRight, textRect.width()));
        }
    }

    QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const override
    {
        // Every row has room for a subtitle, so the view can use uniform row heights.
        const int height =
            QFontMetrics(Style::font(12)).height() + QFontMetrics(Style::font(10.5)).height() + 3;
        return {300, height};
    }
};

/// A segment-list line: position, tag, name with the summary under it.
class SegmentRowDelegate : public RowDelegate
{
public:
    using RowDelegate::RowDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
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
        const QFont tagFont = Style::fixedFont(11, QFont::Bold);
        painter->setFont(tagFont);
        painter->setPen(text);
        // A tag longer than its column (a runaway or binary one) is cut to it.
        painter->drawText(QPoint(r.left() + positionWidth + gap, baseline),
                          QFontMetrics(tagFont).elidedText(index.data(TagRole).toString(),
                                                           Qt::ElideRight, tagWidth));
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
            painter->drawText(
                QPoint(textLeft, r.top() + nameMetrics.height() + 1 + metrics.ascent()),
                metrics.elidedText(subtitle, Qt::ElideRight, r.right() - textLeft));
        }
    }

    QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const override
    {
        return {300, QFontMetrics(Style::font(12)).height() +
                         QFontMetrics(Style::font(10.5)).height() + 3};
    }
};

/// A raw line: the position right-aligned in 46 points, then the raw segment, unwrapped.
class RawLineDelegate : public RowDelegate
{
public:
    using RowDelegate::RowDelegate;

    int width = 400; // of the widest line, so the view scrolls sideways
    QString query;   // what the search matches, highlighted in each line; empty for none

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        drawRowBackground(painter, option, index);
        const bool selected = option.state & QStyle::State_Selected;
        const QPalette &palette = option.palette;
        const QFont rawFont = Style::fixedFont(12);
        const QFontMetrics metrics(rawFont);
        const int baseline = option.rect.top() + metrics.ascent() + 1;
        painter->setFont(Style::fixedFont(10));
        painter->setPen(selected ? palette.color(QPalette::HighlightedText)
                                 : Style::tertiary(palette));
        const int positionWidth = Style::pt(46);
        painter->drawText(
            QRect(option.rect.left(), option.rect.top(), positionWidth, metrics.height() + 1),
            Qt::AlignRight | Qt::AlignBottom, index.data(PositionRole).toString());
        painter->setFont(rawFont);
        const QString raw = index.data(RawRole).toString();
        const int textLeft = option.rect.left() + positionWidth + Style::pt(10);
        if (!query.isEmpty()) {
            QColor mark = QColor(0xFF, 0xD6, 0x0A);
            mark.setAlphaF(selected ? 0.55f : 0.45f);
            for (qsizetype at = raw.indexOf(query, 0, Qt::CaseInsensitive); at >= 0;
                 at = raw.indexOf(query, at + query.size(), Qt::CaseInsensitive)) {
                const int x = textLeft + metrics.horizontalAdvance(raw.left(at));
                const int w = metrics.horizontalAdvance(raw.mid(at, query.size()));
                painter->fillRect(QRect(x, option.rect.top() + 1, w, option.rect.height() - 2),
                                  mark);
            }
        }
        painter->setPen(palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(QPoint(textLeft, baseline), raw);
    }

    QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const override
    {
        return {width, QFontMetrics(Style::fixedFont(12)).height() + 2 + 2};
    }
};

InspectedNode inspectedNode(const X12Document &document, std::uint32_t node)
{
    const X12Node n = document.node(node);
    return {DisplayText::shown(n.title, DisplayText::maxLineLength),
            DisplayText::shown(n.subtitle, DisplayText::maxLineLength),
            node,
            n.childCount,
            findingsAbout(document, node),
            loopLine(document, node)};
}

/// The search text as the raw view highlights it: trimmed, like the filter.
QString highlightQuery(const QString &search)
{
    return search.trimmed();
}

/// A context menu with Copy Segment, for whatever `selection` gives.
void addCopySegment(QAbstractItemView *view, const WindowSession &session,
                    std::function<std::vector<std::uint32_t>()> selection)
{
    // Ctrl+C is the window's Edit ▸ Copy, which asks the view; here it is the context menu's.
    auto *copy = new QAction(QStringLiteral("Copy Segment"), view);
    QObject::connect(copy, &QAction::triggered, view, [&session, selection] {
        const auto document = session.document();
        const auto segments = selection();
        if (document && !segments.empty())
            copySegments(*document, segments);
    });
    view->addAction(copy);
    view->setContextMenuPolicy(Qt::ActionsContextMenu);
}

/// The row `delta` rows away from `current` among `count`, wrapping around.
int wrapped(int current, int delta, int count)
{
    if (current < 0)
        return delta >= 0 ? 0 : count - 1;
    return ((current + delta) % count + count) % count;
}

/// Makes a row of a segment list current and selected, and shows it.
void showRow(QAbstractItemView *list, const QModelIndex &row,
             QAbstractItemView::ScrollHint hint = QAbstractItemView::EnsureVisible)
{
    list->selectionModel()->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect);
    list->scrollTo(row, hint);
}

/// Shows a segment's row when the list has one; false when it has not.
bool showSegment(QAbstractItemView *list, const SegmentListModel &segments, std::uint32_t segment)
{
    const int row = segments.rowOf(segment);
    if (row < 0)
        return false;
    showRow(list, segments.index(row), QAbstractItemView::PositionAtCenter);
    return true;
}

} // namespace

void copySegments(const X12Document &document, const std::vector<std::uint32_t> &segments)
{
    QStringList lines;
    for (const std::uint32_t segment : segments)
        lines << DisplayText::exact(document.segment(segment).raw());
    QApplication::clipboard()->setText(lines.join(u'\n'));
}

bool OutlineTree::expandWithin(const QModelIndex &root)
{
    // Breadth first: a level is opened only when all of it fits within the bound.
    std::vector<QModelIndex> level{root};
    std::vector<QModelIndex> toExpand;
    std::size_t visible = 0;
    int levels = 0;
    bool whole = true;
    while (!level.empty()) {
        std::size_t children = 0;
        for (const QModelIndex &index : level)
            children += std::size_t(model()->rowCount(index));
        if (visible + children > expansionLimit) {
            whole = false;
            break;
        }
        visible += children;
        std::vector<QModelIndex> next;
        for (const QModelIndex &index : level) {
            if (index.isValid())
                toExpand.push_back(index);
            for (int row = 0; row < model()->rowCount(index); ++row) {
                const QModelIndex child = model()->index(row, 0, index);
                if (model()->hasChildren(child))
                    next.push_back(child);
            }
        }
        level = std::move(next);
        ++levels;
    }
    setUpdatesEnabled(false);
    for (const QModelIndex &index : toExpand)
        expand(index);
    setUpdatesEnabled(true);
    if (!whole)
        emit notice(QStringLiteral("The tree is too large to open whole: %1 level%2 opened, the "
                                   "rest left folded.")
                        .arg(levels)
                        .arg(levels == 1 ? "" : "s"));
    return whole;
}

void OutlineTree::keyPressEvent(QKeyEvent *event)
{
    // Qt opens every node under the current one at once, which freezes the window on a big
    // file: open them a level at a time, within the bound.
    if (event->key() == Qt::Key_Asterisk) {
        expandWithin(currentIndex());
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

OutlineView::OutlineView(WindowSession &session, QWidget *parent)
    : QSplitter(Qt::Horizontal, parent), m_session(session), m_nodes(new NodeTreeModel(this)),
      m_tree(new OutlineTree(this)), m_inspector(new QStackedWidget(this)),
      m_summary(new DocumentSummaryView(session, m_inspector)),
      m_detail(new SegmentDetailView(m_inspector))
{
    m_tree->setModel(m_nodes);
    m_tree->setHeaderHidden(true);
    m_tree->setUniformRowHeights(true);
    m_tree->setItemDelegate(new NodeRowDelegate(m_tree));
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setMinimumWidth(Style::pt(340));
    m_inspector->setMinimumWidth(Style::pt(380));
    m_tree->setIconSize(QSize(Style::pt(16), Style::pt(16)));
    m_inspector->addWidget(m_summary);
    m_inspector->addWidget(m_detail);
    addWidget(m_tree);
    addWidget(m_inspector);
    setChildrenCollapsible(false);
    setSizes({Style::pt(430), Style::pt(520)});
    setStretchFactor(1, 1);
    addCopySegment(m_tree, session, [this] {
        const auto segment = selectedSegment();
        return segment ? std::vector<std::uint32_t>{*segment} : std::vector<std::uint32_t>{};
    });

    auto load = [this] {
        m_nodes->setDocument(m_session.document());
        m_summary->refresh();
        select(std::nullopt);
    };
    connect(&session, &WindowSession::documentChanged, this, load);
    connect(m_summary, &DocumentSummaryView::findingActivated, this, &OutlineView::reveal);
    connect(m_tree, &OutlineTree::notice, this, &OutlineView::notice);
    // The selection, not the current index: focus alone makes a current row but selects nothing.
    connect(m_tree->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        const QModelIndexList rows = m_tree->selectionModel()->selectedRows();
        select(rows.isEmpty()
                   ? std::nullopt
                   : std::optional<std::uint32_t>(rows.front().data(NodeIndexRole).toUInt()));
    });
    load();
}

void OutlineView::reset()
{
    m_tree->collapseAll();
    m_tree->selectionModel()->clear();
    select(std::nullopt);
}

void OutlineView::select(std::optional<std::uint32_t> node)
{
    const auto document = m_session.document();
    if (!node || !document || *node >= document->nodeCount()) {
        m_inspector->setCurrentWidget(m_summary);
        return;
    }
    m_detail->inspect(document, inspectedNode(*document, *node));
    m_inspector->setCurrentWidget(m_detail);
}

std::optional<std::uint32_t> OutlineView::selectedSegment() const
{
    const QModelIndexList rows = m_tree->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return std::nullopt;
    return rows.front().data(NodeIndexRole).toUInt();
}

void OutlineView::reveal(std::uint32_t node)
{
    const auto document = m_session.document();
    if (!document || node >= document->nodeCount())
        return;
    // The index is built from the root down: each ancestor's row is on the node.
    std::vector<std::uint32_t> path;
    for (std::uint32_t n = node; n != X12Document::rootId(); n = document->parent(n))
        path.push_back(n);
    QModelIndex index;
    for (auto it = path.rbegin(); it != path.rend(); ++it) {
        index = m_nodes->index(int(document->row(*it)), 0, index);
        if (std::next(it) != path.rend())
            m_tree->expand(index);
    }
    m_tree->setCurrentIndex(index);
    m_tree->scrollTo(index);
}

bool OutlineView::findNext(bool backwards)
{
    const auto matches = m_session.filteredSegments();
    if (matches->empty())
        return false;
    // Node i is segment i, so the matches are nodes in document order.
    const std::optional<std::uint32_t> current = selectedSegment();
    std::uint32_t next;
    if (!backwards) {
        const auto it = current ? std::upper_bound(matches->begin(), matches->end(), *current)
                                : matches->begin();
        next = it == matches->end() ? matches->front() : *it;
    } else {
        const auto it =
            current ? std::lower_bound(matches->begin(), matches->end(), *current) : matches->end();
        next = it == matches->begin() ? matches->back() : *std::prev(it);
    }
    reveal(next);
    return true;
}

bool OutlineView::showsSummary() const
{
    return m_inspector->currentWidget() == m_summary;
}

FlatSegmentView::FlatSegmentView(WindowSession &session, QWidget *parent)
    : QSplitter(Qt::Horizontal, parent), m_session(session), m_segments(new SegmentListModel(this)),
      m_list(new RowListView(this)), m_inspector(new QStackedWidget(this)),
      m_summary(new DocumentSummaryView(session, m_inspector)),
      m_detail(new SegmentDetailView(m_inspector))
{
    m_list->setModel(m_segments);
    m_list->setItemDelegate(new SegmentRowDelegate(m_list));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setMinimumWidth(Style::pt(380));
    m_inspector->setMinimumWidth(Style::pt(380));
    m_inspector->addWidget(m_summary);
    m_inspector->addWidget(m_detail);
    addWidget(m_list);
    addWidget(m_inspector);
    setChildrenCollapsible(false);
    setSizes({Style::pt(460), Style::pt(500)});
    setStretchFactor(1, 1);
    addCopySegment(m_list, session, [this] {
        return m_selected ? std::vector<std::uint32_t>{*m_selected} : std::vector<std::uint32_t>{};
    });

    connect(&session, &WindowSession::documentChanged, this, [this] {
        // A segment of the previous file never stays beside the new file's list.
        m_selected.reset();
        m_summary->refresh();
        refill();
    });
    connect(&session, &WindowSession::matchesChanged, this, &FlatSegmentView::refill);
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        const QModelIndexList rows = m_list->selectionModel()->selectedRows();
        if (rows.isEmpty()) {
            // Deselected (Ctrl+click): back to the summary. A refill keeps the chosen segment
            // itself, even while the search hides its line.
            m_selected.reset();
            showSelected();
            return;
        }
        m_selected = rows.front().data(NodeIndexRole).toUInt();
        showSelected();
    });
    refill();
}

void FlatSegmentView::reset()
{
    m_selected.reset();
    m_list->selectionModel()->clear();
    showSelected();
}

void FlatSegmentView::refreshIfStale()
{
    if (m_stale)
        refill();
}

void FlatSegmentView::refill()
{
    // Work for a view that is not on screen waits until it is.
    m_stale = isHidden();
    if (m_stale)
        return;
    const std::optional<std::uint32_t> selected = m_selected;
    m_segments->setSegments(m_session.document(), m_session.filteredSegments());
    m_selected = selected;
    // The chosen segment stays highlighted while it is listed.
    if (m_selected) {
        const int row = m_segments->rowOf(*m_selected);
        if (row >= 0)
            m_list->selectionModel()->setCurrentIndex(m_segments->index(row),
                                                      QItemSelectionModel::ClearAndSelect);
    }
    showSelected();
}

bool FlatSegmentView::moveSelection(int delta)
{
    const int count = m_segments->rowCount();
    if (count == 0)
        return false;
    const int current = m_selected ? m_segments->rowOf(*m_selected) : -1;
    showRow(m_list, m_segments->index(wrapped(current, delta, count)));
    return true;
}

bool FlatSegmentView::choose(std::uint32_t segment)
{
    return showSegment(m_list, *m_segments, segment);
}

void FlatSegmentView::showSelected()
{
    const auto document = m_session.document();
    if (!m_selected || !document || *m_selected >= document->segments().size()) {
        m_inspector->setCurrentWidget(m_summary);
        return;
    }
    // A node made on the spot for the segment: tag and name, its summary, no children.
    const X12Segment segment = document->segment(*m_selected);
    InspectedNode node{
        DisplayText::shown(X12Dictionary::segmentTitle(segment.tag()), DisplayText::maxLineLength),
        DisplayText::shown(X12Dictionary::segmentSubtitle(segment), DisplayText::maxLineLength),
        *m_selected,
        0,
        findingsAbout(*document, *m_selected),
        loopLine(*document, *m_selected)};
    m_detail->inspect(document, node);
    m_inspector->setCurrentWidget(m_detail);
}

bool FlatSegmentView::showsSummary() const
{
    return m_inspector->currentWidget() == m_summary;
}

RawTextView::RawTextView(WindowSession &session, QWidget *parent)
    : QWidget(parent), m_session(session), m_segments(new SegmentListModel(this)),
      m_list(new RowListView(this))
{
    // The 16-point padding around the lines, on the text background.
    Style::useTextBackground(this);
    auto *layout = new QVBoxLayout(this);
    const int padding = Style::pt(16);
    layout->setContentsMargins(padding, padding, padding, padding);
    layout->addWidget(m_list);
    m_list->setModel(m_segments);
    m_list->setItemDelegate(new RawLineDelegate(m_list));
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setSpacing(1);
    addCopySegment(m_list, session, [this] { return selectedSegments(); });

    connect(&session, &WindowSession::documentChanged, this, &RawTextView::refill);
    connect(&session, &WindowSession::matchesChanged, this, &RawTextView::refill);
    refill();
}

void RawTextView::refreshIfStale()
{
    if (m_stale)
        refill();
}

void RawTextView::refill()
{
    // Work for a view that is not on screen waits until it is.
    m_stale = isHidden();
    if (m_stale)
        return;
    const auto document = m_session.document();
    const auto indices = m_session.filteredSegments();
    std::size_t longest = 0;
    if (document) {
        for (std::uint32_t i : *indices)
            longest = std::max(longest, document->segment(i).raw().size());
    }
    auto *delegate = static_cast<RawLineDelegate *>(m_list->itemDelegate());
    const QFontMetrics metrics(Style::fixedFont(12));
    delegate->width = Style::pt(56) +
                      metrics.horizontalAdvance(QLatin1Char('M')) *
                          int(std::min(longest, DisplayText::maxLength + 1)) +
                      8;
    delegate->query = highlightQuery(m_session.searchText());
    m_segments->setSegments(document, indices);
}

bool RawTextView::moveCurrent(int delta)
{
    const int count = m_segments->rowCount();
    if (count == 0)
        return false;
    showRow(m_list, m_segments->index(wrapped(m_list->currentIndex().row(), delta, count)));
    return true;
}

bool RawTextView::choose(std::uint32_t segment)
{
    return showSegment(m_list, *m_segments, segment);
}

std::vector<std::uint32_t> RawTextView::selectedSegments() const
{
    QModelIndexList selected = m_list->selectionModel()->selectedRows();
    std::sort(selected.begin(), selected.end());
    std::vector<std::uint32_t> segments;
    for (const QModelIndex &index : selected)
        segments.push_back(index.data(NodeIndexRole).toUInt());
    return segments;
}
