#pragma once

#include <QAbstractItemModel>

#include <memory>

class X12Document;
class X12GuideLoops;

/// The envelope/loop tree of a document, read lazily: rows are node indices and texts are
/// composed only for the rows a view asks about.
class NodeTreeModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    explicit NodeTreeModel(QObject *parent = nullptr);

    /// The document and, beside it, where its segments sit in the guide's loops (or both null).
    void setDocument(std::shared_ptr<const X12Document> document,
                     std::shared_ptr<const X12GuideLoops> loops);
    const X12Document *document() const { return m_document.get(); }
    /// The same loops with the guide check's findings, which arrive after the document; views
    /// repaint to show their marks.
    void setLoops(std::shared_ptr<const X12GuideLoops> loops) { m_loops = std::move(loops); }

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    bool hasChildren(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

private:
    std::shared_ptr<const X12Document> m_document;
    std::shared_ptr<const X12GuideLoops> m_loops;
};
