#include "app/SegmentListModel.h"

#include "app/DisplayText.h"
#include "app/DocumentRoles.h"
#include "core/guides/X12GuideLoops.h"
#include "core/model/X12Document.h"
#include "core/dictionary/X12Dictionary.h"

#include <algorithm>

using DisplayText::shown;

SegmentListModel::SegmentListModel(QObject *parent) : QAbstractListModel(parent) {}

void SegmentListModel::setSegments(std::shared_ptr<const X12Document> document,
                                   std::shared_ptr<const X12GuideLoops> loops,
                                   std::shared_ptr<const std::vector<std::uint32_t>> indices)
{
    beginResetModel();
    m_document = std::move(document);
    m_loops = std::move(loops);
    m_indices = std::move(indices);
    endResetModel();
}

int SegmentListModel::rowOf(std::uint32_t segmentIndex) const
{
    const auto it = std::lower_bound(m_indices->begin(), m_indices->end(), segmentIndex);
    return it != m_indices->end() && *it == segmentIndex ? int(it - m_indices->begin()) : -1;
}

QModelIndex SegmentListModel::index(int row, int column, const QModelIndex &parent) const
{
    const bool inside =
        row >= 0 && std::size_t(row) < m_indices->size() && column == 0 && !parent.isValid();
    return inside ? createIndex(row, 0) : QModelIndex();
}

int SegmentListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_indices->size());
}

QVariant SegmentListModel::data(const QModelIndex &index, int role) const
{
    if (!m_document || !index.isValid() || std::size_t(index.row()) >= m_indices->size())
        return {};
    const std::uint32_t i = (*m_indices)[std::size_t(index.row())];
    const X12Segment segment = m_document->segment(i);
    switch (role) {
    case Qt::DisplayRole:
        return shown(X12Dictionary::segmentName(segment.tag()), DisplayText::maxLineLength);
    case SubtitleRole:
        return shown(X12Dictionary::segmentSubtitle(segment), DisplayText::maxLineLength);
    case TagRole:
        return shown(segment.tag(), DisplayText::maxLineLength);
    case RawRole:
        return shown(segment.raw());
    case PositionRole:
        return qlonglong(segment.position());
    case NodeIndexRole:
        return QVariant::fromValue(i);
    case FindingRole:
        return hasFinding(*m_document, *m_loops, i);
    case LoopRole:
        return loopID(m_loops->loopOf(i));
    default:
        return {};
    }
}
