#include "app/NodeTreeModel.h"

#include "app/DisplayText.h"
#include "app/DocumentRoles.h"
#include "core/dictionary/X12Dictionary.h"
#include "core/guides/X12GuideLoops.h"
#include "core/model/X12Document.h"

using DisplayText::shown;

NodeTreeModel::NodeTreeModel(QObject *parent) : QAbstractItemModel(parent) {}

void NodeTreeModel::setDocument(std::shared_ptr<const X12Document> document,
                                std::shared_ptr<const X12GuideLoops> loops)
{
    beginResetModel();
    m_document = std::move(document);
    m_loops = std::move(loops);
    endResetModel();
}

QModelIndex NodeTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    if (!m_document || column != 0 || row < 0)
        return {};
    const std::uint32_t parentId =
        parent.isValid() ? std::uint32_t(parent.internalId()) : X12Document::rootId();
    const auto children = m_document->children(parentId);
    if (std::size_t(row) >= children.size())
        return {};
    return createIndex(row, 0, quintptr(children[std::size_t(row)]));
}

QModelIndex NodeTreeModel::parent(const QModelIndex &child) const
{
    if (!m_document || !child.isValid())
        return {};
    const std::uint32_t parent = m_document->parent(std::uint32_t(child.internalId()));
    if (parent == X12Document::rootId())
        return {};
    // Rows are stored on the node, so this is O(1) rather than a search among the siblings.
    return createIndex(int(m_document->row(parent)), 0, quintptr(parent));
}

int NodeTreeModel::rowCount(const QModelIndex &parent) const
{
    if (!m_document || parent.column() > 0)
        return 0;
    const std::uint32_t id =
        parent.isValid() ? std::uint32_t(parent.internalId()) : X12Document::rootId();
    return int(m_document->children(id).size());
}

int NodeTreeModel::columnCount(const QModelIndex &) const
{
    return 1;
}

bool NodeTreeModel::hasChildren(const QModelIndex &parent) const
{
    return rowCount(parent) > 0;
}

QVariant NodeTreeModel::data(const QModelIndex &index, int role) const
{
    if (!m_document || !index.isValid())
        return {};
    const auto node = std::uint32_t(index.internalId());
    std::string text;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        X12Dictionary::appendNodeTitle(*m_document, m_document->segment(node), text);
        return shown(text, DisplayText::maxLineLength);
    case SubtitleRole:
        X12Dictionary::appendNodeSubtitle(*m_document, m_document->segment(node), text);
        return shown(text, DisplayText::maxLineLength);
    case NodeIndexRole:
        return QVariant::fromValue(node);
    case KindRole:
        return int(m_document->kind(node));
    case PositionRole:
        return qlonglong(node) + 1;
    case FindingRole:
        return hasFinding(*m_document, *m_loops, node);
    case LoopRole:
        return loopID(m_loops->loopBegunBy(node));
    default:
        return {};
    }
}
