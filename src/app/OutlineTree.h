#pragma once

#include <QTreeView>

#include <cstddef>

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
