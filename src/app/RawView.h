#pragma once

#include "app/ModeView.h"

#include <QWidget>

#include <cstdint>
#include <vector>

class RawLineDelegate;
class RowListView;
class SegmentListModel;
class WindowSession;

/// The Raw mode: each filtered segment's position and raw text, one per line, never wrapped;
/// what the search matches is highlighted.
class RawView : public QWidget, public ModeView
{
    Q_OBJECT

public:
    explicit RawView(WindowSession &session, QWidget *parent = nullptr);
    RowListView *list() const { return m_list; }

    QWidget *asWidget() override { return this; }
    void refreshIfStale() override;
    /// The lines stay selected when the user comes back to the mode: nothing to discard.
    void reset() override {}
    /// Moves the current line to the next (or previous) listed segment, wrapping around: the
    /// list holds only the matches of the search. False when nothing is listed.
    bool findNext(bool backwards) override;
    bool selectSegment(std::uint32_t segment) override;
    /// The segments of the selected lines, in order.
    std::vector<std::uint32_t> selectedSegments() const override;

signals:
    /// Something the user should know about what the view did (a copy refused).
    void notice(const QString &text);

private:
    void refill();

    WindowSession &m_session;
    SegmentListModel *m_segments;
    RowListView *m_list;
    RawLineDelegate *m_delegate;
    bool m_stale = true; // the session changed while the view was hidden
};
