#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
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

    /// The most text Copy puts on the clipboard at once. A whole file of 100 MB selected in Raw
    /// would hold the window for many seconds and take gigabytes.
    static constexpr std::size_t copyLimit = 32u << 20;
    /// Puts the raw text of segments, whole (not cut for display) and one a line, on the
    /// clipboard. Past copyLimit bytes the clipboard stays as it was, and what to tell the user
    /// comes back instead.
    [[nodiscard]] static std::optional<QString>
    copySegments(const X12Document &document, const std::vector<std::uint32_t> &segments);

protected:
    /// Gives `view` a context menu with Copy Segment, for the segments selectedSegments() gives;
    /// a copy refused for its size is told to `refused`.
    void addCopySegmentAction(QAbstractItemView *view, const WindowSession &session,
                              std::function<void(const QString &)> refused) const;
};
