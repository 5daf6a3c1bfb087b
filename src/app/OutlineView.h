#pragma once

#include "app/ModeView.h"

#include <QSplitter>

#include <cstdint>
#include <optional>
#include <vector>

class DocumentSummaryView;
class NodeTreeModel;
class OutlineTree;
class QStackedWidget;
class SegmentDetailView;
class WindowSession;

/// The Outline mode: the tree on the left, the inspector of the selected node (or the document
/// summary) on the right.
class OutlineView : public QSplitter, public ModeView
{
    Q_OBJECT

public:
    explicit OutlineView(WindowSession &session, QWidget *parent = nullptr);

    QWidget *asWidget() override { return this; }
    /// The tree is filled as the document arrives, on screen or not.
    void refreshIfStale() override {}
    /// Back to a collapsed tree with nothing selected, as a freshly made view.
    void reset() override;
    /// Selects the next (or previous) node after the current one whose segment matches the
    /// search, wrapping around; false when none does.
    bool findNext(bool backwards) override;
    /// Reveals the segment's node: every segment has one.
    bool selectSegment(std::uint32_t segment) override;
    std::vector<std::uint32_t> selectedSegments() const override;

    /// Expands the tree down to a node and selects it.
    void reveal(std::uint32_t node);
    /// The segment of the selected node, if any.
    std::optional<std::uint32_t> selectedSegment() const;
    OutlineTree *tree() const { return m_tree; }
    SegmentDetailView *detail() const { return m_detail; }
    DocumentSummaryView *summary() const { return m_summary; }
    bool showsSummary() const;

signals:
    /// Something the user should know about what the view did (an expansion or a copy cut
    /// short).
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
