#include "app/OutlineTree.h"

#include <QKeyEvent>

#include <vector>

namespace {

/// The children of `nodes` that have children of their own.
std::vector<QModelIndex> parentsUnder(const QAbstractItemModel &model,
                                      const std::vector<QModelIndex> &nodes)
{
    std::vector<QModelIndex> parents;
    for (const QModelIndex &node : nodes) {
        for (int row = 0; row < model.rowCount(node); ++row) {
            const QModelIndex child = model.index(row, 0, node);
            if (model.hasChildren(child))
                parents.push_back(child);
        }
    }
    return parents;
}

} // namespace

bool OutlineTree::expandWithin(const QModelIndex &root)
{
    // Breadth first: a level is opened only when all the rows it shows fit within the bound. A
    // level is the nodes opened together, so the whole tree (whose top rows are always shown)
    // and its one top node count the same levels.
    std::vector<QModelIndex> level =
        root.isValid() ? std::vector<QModelIndex>{root} : parentsUnder(*model(), {root});
    std::vector<QModelIndex> toExpand;
    std::size_t visible = 0;
    int levels = 0;
    bool whole = true;
    while (!level.empty()) {
        std::size_t children = 0;
        for (const QModelIndex &index : level)
            children += std::size_t(model()->rowCount(index));
        if (visible + children > expansionLimit) {
            whole = false;
            break;
        }
        visible += children;
        toExpand.insert(toExpand.end(), level.begin(), level.end());
        level = parentsUnder(*model(), level);
        ++levels;
    }
    setUpdatesEnabled(false);
    for (const QModelIndex &index : toExpand)
        expand(index);
    setUpdatesEnabled(true);
    if (!whole)
        emit notice(QStringLiteral("The tree is too large to open whole: %L1 level%2 opened, the "
                                   "rest left folded.")
                        .arg(levels)
                        .arg(levels == 1 ? "" : "s"));
    return whole;
}

void OutlineTree::keyPressEvent(QKeyEvent *event)
{
    // Qt opens every node under the current one at once, which freezes the window on a big
    // file: open them a level at a time, within the bound.
    if (event->key() == Qt::Key_Asterisk) {
        expandWithin(currentIndex());
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}
