#pragma once

#include <QSplitter>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>

class AppModel;
class DocumentSummaryView;
class NodeTreeModel;
class QListView;
class QStackedWidget;
class QTreeView;
class SegmentDetailView;
class SegmentListModel;
class X12Document;

/// The Outline mode: the tree on the left, the inspector of the selected node (or the document
/// summary) on the right.
class OutlineView : public QSplitter
{
    Q_OBJECT

public:
    explicit OutlineView(AppModel &model, QWidget *parent = nullptr);
    /// Back to a collapsed tree with nothing selected, as a freshly made view.
    void reset();
    /// Expands the tree down to a node and selects it.
    void reveal(std::uint32_t node);
    QTreeView *tree() const { return m_tree; }
    SegmentDetailView *detail() const { return m_detail; }
    DocumentSummaryView *summary() const { return m_summary; }
    bool showsSummary() const;

private:
    void select(std::optional<std::uint32_t> node);

    AppModel &m_model;
    NodeTreeModel *m_nodes;
    QTreeView *m_tree;
    QStackedWidget *m_inspector;
    DocumentSummaryView *m_summary;
    SegmentDetailView *m_detail;
};

/// The Segments mode: the filtered segments in a list, the chosen one's inspector beside it.
class FlatSegmentView : public QSplitter
{
    Q_OBJECT

public:
    explicit FlatSegmentView(AppModel &model, QWidget *parent = nullptr);
    void reset();
    /// Catches up with changes made while the view was not on screen.
    void refreshIfStale();
    QListView *list() const { return m_list; }
    SegmentDetailView *detail() const { return m_detail; }
    bool showsSummary() const;
    /// The segment the inspector shows; it stays when the search hides its line.
    std::optional<std::uint32_t> selected() const { return m_selected; }

private:
    void refill();
    void showSelected();

    AppModel &m_model;
    SegmentListModel *m_segments;
    QListView *m_list;
    QStackedWidget *m_inspector;
    DocumentSummaryView *m_summary;
    SegmentDetailView *m_detail;
    std::optional<std::uint32_t> m_selected;
    bool m_stale = true; // the model changed while the view was hidden
    // The document of the chosen segment: it stays on screen when another document is opened,
    // until another line is chosen.
    std::shared_ptr<const X12Document> m_selectedDocument;
};

/// The Raw mode: each filtered segment's position and raw text, one per line, never wrapped.
class RawTextView : public QWidget
{
    Q_OBJECT

public:
    explicit RawTextView(AppModel &model, QWidget *parent = nullptr);
    QListView *list() const { return m_list; }

    /// Catches up with changes made while the view was not on screen.
    void refreshIfStale();

private:
    void refill();
    void copySelection() const;

    AppModel &m_model;
    SegmentListModel *m_segments;
    QListView *m_list;
    bool m_stale = true; // the model changed while the view was hidden
};
