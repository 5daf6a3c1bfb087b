#pragma once

#include <QSplitter>
#include <QTreeView>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class WindowSession;
class DocumentSummaryView;
class NodeTreeModel;
class RowListView;
class QStackedWidget;
class SegmentDetailView;
class SegmentListModel;
class X12Document;

/// Puts the raw text of segments, whole (not cut for display) and one a line, on the clipboard.
void copySegments(const X12Document &document, const std::vector<std::uint32_t> &segments);

/// The tree of the Outline mode. `*` expands the current node's subtree, but never more than a
/// window can show without freezing: on a big file only as many levels as stay within a bound.
class OutlineTree : public QTreeView
{
    Q_OBJECT

public:
    /// The most rows an expansion may make visible.
    static constexpr std::size_t expansionLimit = 20'000;

    using QTreeView::QTreeView;

    /// Expands the subtree under `root` (the whole tree for an invalid index) level by level,
    /// while the rows it makes visible stay within expansionLimit. True when the whole subtree
    /// is open; otherwise the deeper levels stay folded and the tree says so.
    bool expandWithin(const QModelIndex &root);

signals:
    /// Something the user should know about what the tree did (an expansion cut short).
    void notice(const QString &text);

protected:
    void keyPressEvent(QKeyEvent *event) override;
};

/// The Outline mode: the tree on the left, the inspector of the selected node (or the document
/// summary) on the right.
class OutlineView : public QSplitter
{
    Q_OBJECT

public:
    explicit OutlineView(WindowSession &session, QWidget *parent = nullptr);
    /// Back to a collapsed tree with nothing selected, as a freshly made view.
    void reset();
    /// Expands the tree down to a node and selects it.
    void reveal(std::uint32_t node);
    /// Selects the next (or previous) node after the current one whose segment matches the
    /// search, wrapping around; false when none does.
    bool findNext(bool backwards);
    /// The segment of the selected node, if any.
    std::optional<std::uint32_t> selectedSegment() const;
    OutlineTree *tree() const { return m_tree; }
    SegmentDetailView *detail() const { return m_detail; }
    DocumentSummaryView *summary() const { return m_summary; }
    bool showsSummary() const;

signals:
    void notice(const QString &text);

private:
    void select(std::optional<std::uint32_t> node);

    WindowSession &m_session;
    NodeTreeModel *m_nodes;
    OutlineTree *m_tree;
    QStackedWidget *m_inspector;
    DocumentSummaryView *m_summary;
    SegmentDetailView *m_detail;
};

/// The Segments mode: the filtered segments in a list, the chosen one's inspector beside it.
class FlatSegmentView : public QSplitter
{
    Q_OBJECT

public:
    explicit FlatSegmentView(WindowSession &session, QWidget *parent = nullptr);
    void reset();
    /// Catches up with changes made while the view was not on screen.
    void refreshIfStale();
    /// Chooses the listed segment `delta` lines away from the current one, wrapping around;
    /// false when nothing is listed.
    bool moveSelection(int delta);
    /// Chooses a segment by index when it is listed; false when it is not.
    bool choose(std::uint32_t segment);
    RowListView *list() const { return m_list; }
    SegmentDetailView *detail() const { return m_detail; }
    bool showsSummary() const;
    /// The segment the inspector shows; it stays when the search hides its line.
    std::optional<std::uint32_t> selected() const { return m_selected; }

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

/// The Raw mode: each filtered segment's position and raw text, one per line, never wrapped;
/// what the search matches is highlighted.
class RawTextView : public QWidget
{
    Q_OBJECT

public:
    explicit RawTextView(WindowSession &session, QWidget *parent = nullptr);
    RowListView *list() const { return m_list; }

    /// Catches up with changes made while the view was not on screen.
    void refreshIfStale();
    /// Moves the current line `delta` lines, wrapping around; false when nothing is listed.
    bool moveCurrent(int delta);
    /// Makes a segment the current line when it is listed; false when it is not.
    bool choose(std::uint32_t segment);
    /// The segments of the selected lines, in order.
    std::vector<std::uint32_t> selectedSegments() const;

private:
    void refill();

    WindowSession &m_session;
    SegmentListModel *m_segments;
    RowListView *m_list;
    bool m_stale = true; // the session changed while the view was hidden
};
