#include "app/SegmentsView.h"

#include "app/DocumentRoles.h"
#include "app/DocumentSummaryView.h"
#include "app/InspectedNode.h"
#include "app/RowListView.h"
#include "app/SegmentDetailView.h"
#include "app/SegmentListModel.h"
#include "app/SegmentRowDelegate.h"
#include "app/Style.h"
#include "app/WindowSession.h"
#include "core/model/X12Document.h"

#include <QStackedWidget>

SegmentsView::SegmentsView(WindowSession &session, QWidget *parent)
    : QSplitter(Qt::Horizontal, parent), m_session(session), m_segments(new SegmentListModel(this)),
      m_list(new RowListView(this)), m_inspector(new QStackedWidget(this)),
      m_summary(new DocumentSummaryView(session, m_inspector)),
      m_detail(new SegmentDetailView(m_inspector))
{
    m_list->setModel(m_segments);
    m_list->setItemDelegate(new SegmentRowDelegate(m_list));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setMinimumWidth(Style::paneWidth(380));
    m_inspector->setMinimumWidth(Style::paneWidth(380));
    m_inspector->addWidget(m_summary);
    m_inspector->addWidget(m_detail);
    addWidget(m_list);
    addWidget(m_inspector);
    setChildrenCollapsible(false);
    setSizes({Style::pt(460), Style::pt(500)});
    setStretchFactor(1, 1);
    addCopySegmentAction(m_list, session, [this](const QString &text) { emit notice(text); });

    connect(&session, &WindowSession::documentChanged, this, [this] {
        // A segment of the previous file never stays beside the new file's list.
        m_selected.reset();
        m_summary->refresh();
        refill();
    });
    connect(&session, &WindowSession::matchesChanged, this, &SegmentsView::refill);
    // A finding of the summary shows its segment, as in the outline: a search that hides the
    // segment is cleared first.
    connect(m_summary, &DocumentSummaryView::findingActivated, this, [this](std::uint32_t segment) {
        if (!selectSegment(segment)) {
            m_session.setSearchText({});
            selectSegment(segment);
        }
    });
    connect(&session, &WindowSession::findingsChanged, this, [this] {
        m_segments->setLoops(m_session.loops());
        m_list->viewport()->update();
        showSelected();
    });
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

void SegmentsView::reset()
{
    m_selected.reset();
    m_list->selectionModel()->clear();
    showSelected();
}

void SegmentsView::refreshIfStale()
{
    if (m_stale)
        refill();
}

void SegmentsView::refill()
{
    // Work for a view that is not on screen waits until it is.
    m_stale = isHidden();
    if (m_stale)
        return;
    const std::optional<std::uint32_t> selected = m_selected;
    m_segments->setSegments(m_session.document(), m_session.loops(), m_session.filteredSegments());
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

bool SegmentsView::findNext(bool backwards)
{
    return m_list->chooseRowAway(m_selected ? m_segments->rowOf(*m_selected) : -1,
                                 backwards ? -1 : 1);
}

bool SegmentsView::selectSegment(std::uint32_t segment)
{
    const int row = m_segments->rowOf(segment);
    if (row < 0)
        return false;
    m_list->chooseRow(row, QAbstractItemView::PositionAtCenter);
    return true;
}

std::vector<std::uint32_t> SegmentsView::selectedSegments() const
{
    return m_selected ? std::vector<std::uint32_t>{*m_selected} : std::vector<std::uint32_t>{};
}

void SegmentsView::showSelected()
{
    const auto document = m_session.document();
    if (!m_selected || !document || *m_selected >= document->segments().size()) {
        m_inspector->setCurrentWidget(m_summary);
        return;
    }
    m_detail->inspect(document,
                      InspectedNode::ofSegment(*document, *m_session.loops(), *m_selected));
    m_inspector->setCurrentWidget(m_detail);
}

bool SegmentsView::showsSummary() const
{
    return m_inspector->currentWidget() == m_summary;
}
