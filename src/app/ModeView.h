#pragma once

#include <cstdint>
#include <vector>

class QAbstractItemView;
class QWidget;
class WindowSession;
class X12Document;

/// What the window asks of the view of a mode (Outline, Segments, Raw), whichever is on screen.
/// The views are widgets that implement this as well.
class ModeView
{
public:
    virtual ~ModeView() = default;

    /// The view itself, to put on screen.
    virtual QWidget *asWidget() = 0;
    /// Catches up with changes made while the view was not on screen.
    virtual void refreshIfStale() = 0;
    /// Discards the view's own state (what is chosen, what is open), as the user leaves the mode.
    virtual void reset() = 0;
    /// Chooses the next (or previous) match of the search after the current one, wrapping
    /// around; false when there is none.
    virtual bool findNext(bool backwards) = 0;
    /// Shows and chooses a segment (index from 0); false when the view does not list it, as when
    /// the search hides it.
    virtual bool selectSegment(std::uint32_t segment) = 0;
    /// The chosen segments, in document order: what Copy puts on the clipboard.
    virtual std::vector<std::uint32_t> selectedSegments() const = 0;

    /// Puts the raw text of segments, whole (not cut for display) and one a line, on the
    /// clipboard.
    static void copySegments(const X12Document &document,
                             const std::vector<std::uint32_t> &segments);

protected:
    /// Gives `view` a context menu with Copy Segment, for the segments selectedSegments() gives.
    void addCopySegmentAction(QAbstractItemView *view, const WindowSession &session) const;
};
