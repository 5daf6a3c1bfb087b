#include "app/OutlineTree.h"

#include <QKeyEvent>

#include <vector>

bool OutlineTree::expandWithin(const QModelIndex &root)
{
    // Breadth first: a level is opened only when all of it fits within the bound.
    std::vector<QModelIndex> level{root};
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
        std::vector<QModelIndex> next;
        for (const QModelIndex &index : level) {
            if (index.isValid())
                toExpand.push_back(index);
            for (int row = 0; row < model()->rowCount(index); ++row) {
                const QModelIndex child = model()->index(row, 0, index);
                if (model()->hasChildren(child))
                    next.push_back(child);
            }
        }
        level = std::move(next);
        ++levels;
    }
    setUpdatesEnabled(false);
    for (const QModelIndex &index : toExpand)
        expand(index);
    setUpdatesEnabled(true);
    if (!whole)
        emit notice(QStringLiteral("The tree is too large to open whole: %1 level%2 opened, the "
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
