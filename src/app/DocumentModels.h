#pragma once

#include <QAbstractItemModel>
#include <QAbstractListModel>

#include <cstdint>
#include <memory>
#include <vector>

class X12Document;

/// Custom roles shared by the document views' models and delegates.
enum DocumentRole {
    NodeIndexRole = Qt::UserRole + 1, // node index in the document (quint32)
    SubtitleRole,                     // node subtitle or segment summary (QString)
    KindRole,                         // X12Node::Kind as int
    PositionRole,                     // segment position (qlonglong)
    TagRole,                          // segment tag (QString)
    RawRole,                          // raw segment text (QString), cut for display
    FindingRole,                      // whether an envelope finding concerns the segment (bool)
    LoopRole, // guide loop ID (QString): the loop a node begins, the loop a listed segment is in
};

/// The envelope/loop tree of a document, read lazily: rows are node indices and texts are
/// composed only for the rows a view asks about.
class NodeTreeModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    explicit NodeTreeModel(QObject *parent = nullptr);

    void setDocument(std::shared_ptr<const X12Document> document);
    const X12Document *document() const { return m_document.get(); }

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    bool hasChildren(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

private:
    std::shared_ptr<const X12Document> m_document;
};

/// Segments of a document by index, in the order given (the filtered segments).
class SegmentListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit SegmentListModel(QObject *parent = nullptr);

    void setSegments(std::shared_ptr<const X12Document> document,
                     std::shared_ptr<const std::vector<std::uint32_t>> indices);
    const std::vector<std::uint32_t> &segmentIndices() const { return *m_indices; }
    /// Row of a segment index, or -1 when the segment is not listed.
    int rowOf(std::uint32_t segmentIndex) const;

    /// Asked once per row when a view lays out its rows: made without the base class's checks
    /// through rowCount and columnCount.
    QModelIndex index(int row, int column = 0, const QModelIndex &parent = {}) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

private:
    std::shared_ptr<const X12Document> m_document;
    std::shared_ptr<const std::vector<std::uint32_t>> m_indices =
        std::make_shared<const std::vector<std::uint32_t>>();
};
