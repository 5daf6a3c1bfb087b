#include "app/OutlineView.h"

#include "app/DocumentRoles.h"
#include "app/DocumentSummaryView.h"
#include "app/InspectedNode.h"
#include "app/NodeRowDelegate.h"
#include "app/NodeTreeModel.h"
#include "app/OutlineTree.h"
#include "app/SegmentDetailView.h"
#include "app/Style.h"
#include "app/WindowSession.h"
#include "core/model/X12Document.h"

#include <QStackedWidget>

#include <algorithm>
#include <iterator>

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
    m_tree->setMinimumWidth(Style::paneWidth(340));
    m_inspector->setMinimumWidth(Style::paneWidth(380));
    m_tree->setIconSize(QSize(Style::pt(16), Style::pt(16)));
    m_inspector->addWidget(m_summary);
    m_inspector->addWidget(m_detail);
    addWidget(m_tree);
    addWidget(m_inspector);
    setChildrenCollapsible(false);
    setSizes({Style::pt(430), Style::pt(520)});
    setStretchFactor(1, 1);
    addCopySegmentAction(m_tree, session, [this](const QString &text) { emit notice(text); });

    auto load = [this] {
        m_nodes->setDocument(m_session.document(), m_session.loops());
        m_summary->refresh();
        select(std::nullopt);
    };
    connect(&session, &WindowSession::documentChanged, this, load);
    connect(&session, &WindowSession::findingsChanged, this, [this] {
        m_nodes->setLoops(m_session.loops());
        m_tree->viewport()->update();
        select(selectedSegment());
    });
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
    m_detail->inspect(document, InspectedNode::ofNode(*document, *m_session.loops(), *node));
    m_inspector->setCurrentWidget(m_detail);
}

std::optional<std::uint32_t> OutlineView::selectedSegment() const
{
    const QModelIndexList rows = m_tree->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return std::nullopt;
    return rows.front().data(NodeIndexRole).toUInt();
}

std::vector<std::uint32_t> OutlineView::selectedSegments() const
{
    const auto segment = selectedSegment();
    return segment ? std::vector<std::uint32_t>{*segment} : std::vector<std::uint32_t>{};
}

bool OutlineView::selectSegment(std::uint32_t segment)
{
    // Node i is segment i.
    reveal(segment);
    return true;
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
