#pragma once

#include "app/ModeView.h"

#include <QSplitter>

#include <cstdint>
#include <optional>
#include <vector>

class DocumentSummaryView;
class QStackedWidget;
class RowListView;
class SegmentDetailView;
class SegmentListModel;
class WindowSession;

/// The Segments mode: the filtered segments in a list, the chosen one's inspector beside it.
class SegmentsView : public QSplitter, public ModeView
{
    Q_OBJECT

public:
    explicit SegmentsView(WindowSession &session, QWidget *parent = nullptr);

    QWidget *asWidget() override { return this; }
    void refreshIfStale() override;
    void reset() override;
    /// Chooses the next (or previous) listed segment, wrapping around: the list holds only the
    /// matches of the search. False when nothing is listed.
    bool findNext(bool backwards) override;
    bool selectSegment(std::uint32_t segment) override;
    std::vector<std::uint32_t> selectedSegments() const override;

    RowListView *list() const { return m_list; }
    SegmentDetailView *detail() const { return m_detail; }
    bool showsSummary() const;
    /// The segment the inspector shows; it stays when the search hides its line.
    std::optional<std::uint32_t> selected() const { return m_selected; }

signals:
    /// Something the user should know about what the view did (a copy refused).
    void notice(const QString &text);

private:
    void refill();
    void showSelected();

    WindowSession &m_session;
    SegmentListModel *m_segments;
    RowListView *m_list;
    QStackedWidget *m_inspector;
    DocumentSummaryView *m_summary;
    SegmentDetailView *m_detail;
    std::optional<std::uint32_t> m_selected;
    bool m_stale = true; // the session changed while the view was hidden
};
