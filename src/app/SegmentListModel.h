#pragma once

#include <QAbstractListModel>

#include <cstdint>
#include <memory>
#include <vector>

class X12Document;
class X12GuideLoops;

/// Segments of a document by index, in the order given (the filtered segments).
class SegmentListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit SegmentListModel(QObject *parent = nullptr);

    /// The document, where its segments sit in the guide's loops, and the segments to list.
    void setSegments(std::shared_ptr<const X12Document> document,
                     std::shared_ptr<const X12GuideLoops> loops,
                     std::shared_ptr<const std::vector<std::uint32_t>> indices);
    const std::vector<std::uint32_t> &segmentIndices() const { return *m_indices; }
    /// The same loops with the guide check's findings, which arrive after the document: the rows
    /// change only in their marks, and the view repaints them. (A change announced for every row
    /// would have the view measure each one of millions.)
    void setLoops(std::shared_ptr<const X12GuideLoops> loops) { m_loops = std::move(loops); }
    /// Row of a segment index, or -1 when the segment is not listed.
    int rowOf(std::uint32_t segmentIndex) const;

    /// Asked once per row when a view lays out its rows: made without the base class's checks
    /// through rowCount and columnCount.
    QModelIndex index(int row, int column = 0, const QModelIndex &parent = {}) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

private:
    std::shared_ptr<const X12Document> m_document;
    std::shared_ptr<const X12GuideLoops> m_loops;
    std::shared_ptr<const std::vector<std::uint32_t>> m_indices =
        std::make_shared<const std::vector<std::uint32_t>>();
};
