#include "app/RawView.h"

#include "app/DisplayText.h"
#include "app/RawLineDelegate.h"
#include "app/RowListView.h"
#include "app/SegmentListModel.h"
#include "app/Style.h"
#include "app/WindowSession.h"
#include "core/model/X12Document.h"

#include <QVBoxLayout>

#include <algorithm>
#include <utility>

RawView::RawView(WindowSession &session, QWidget *parent)
    : QWidget(parent), m_session(session), m_segments(new SegmentListModel(this)),
      m_list(new RowListView(this)), m_delegate(new RawLineDelegate(m_list))
{
    // The 16-point padding around the lines, on the text background.
    Style::useTextBackground(this);
    auto *layout = new QVBoxLayout(this);
    const int padding = Style::pt(16);
    layout->setContentsMargins(padding, padding, padding, padding);
    layout->addWidget(m_list);
    m_list->setModel(m_segments);
    m_list->setItemDelegate(m_delegate);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setSpacing(1);
    addCopySegmentAction(m_list, session, [this](const QString &text) { emit notice(text); });

    connect(&session, &WindowSession::documentChanged, this, &RawView::refill);
    connect(&session, &WindowSession::matchesChanged, this, &RawView::refill);
    connect(&session, &WindowSession::findingsChanged, this, [this] {
        m_segments->setLoops(m_session.loops());
        m_list->viewport()->update();
    });
    refill();
}

void RawView::refreshIfStale()
{
    if (m_stale)
        refill();
}

void RawView::refill()
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
    const QFontMetrics metrics(Style::fixedFont(12));
    m_delegate->setLineWidth(Style::pt(56) +
                             metrics.horizontalAdvance(QLatin1Char('M')) *
                                 int(std::min(longest, DisplayText::maxLength + 1)) +
                             8);
    // The search text as the lines highlight it: trimmed, like the filter.
    m_delegate->setQuery(m_session.searchText().trimmed());
    m_segments->setSegments(document, m_session.loops(), indices);
}

bool RawView::findNext(bool backwards)
{
    return m_list->chooseRowAway(m_list->currentIndex().row(), backwards ? -1 : 1);
}

bool RawView::selectSegment(std::uint32_t segment)
{
    const int row = m_segments->rowOf(segment);
    if (row < 0)
        return false;
    m_list->chooseRow(row, QAbstractItemView::PositionAtCenter);
    return true;
}

std::vector<std::uint32_t> RawView::selectedSegments() const
{
    // From the selection's ranges: Select All over millions of lines is one range, where a list
    // of its rows' indexes would take seconds and hundreds of megabytes.
    std::vector<std::pair<int, int>> ranges;
    for (const QItemSelectionRange &range : m_list->selectionModel()->selection())
        ranges.emplace_back(range.top(), range.bottom());
    std::ranges::sort(ranges);
    const std::vector<std::uint32_t> &listed = m_segments->segmentIndices();
    std::vector<std::uint32_t> segments;
    int next = 0; // the first row not taken yet: ranges may overlap
    for (const auto &[top, bottom] : ranges) {
        for (int row = std::max(top, next); row <= bottom && std::size_t(row) < listed.size();
             ++row)
            segments.push_back(listed[std::size_t(row)]);
        next = std::max(next, bottom + 1);
    }
    return segments;
}
