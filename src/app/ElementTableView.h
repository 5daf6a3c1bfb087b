#pragma once

#include <QString>
#include <QTableView>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

class ElementTableModel;
class X12Document;

/// The element table of the inspector: as tall as its rows, so the inspector scrolls it with the
/// rest; names and values wrap. Values can be selected and copied.
class ElementTableView : public QTableView
{
    Q_OBJECT

public:
    explicit ElementTableView(QWidget *parent = nullptr);
    /// Lists a segment's elements, with the findings about them under their values; returns
    /// the findings whose element has no row (empty, or past the rows listed).
    std::vector<QString> showSegment(std::shared_ptr<const X12Document> document,
                                     std::uint32_t segment,
                                     std::vector<std::pair<std::ptrdiff_t, QString>> findings = {});
    ElementTableModel *elements() const { return m_elements; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    /// The exact texts (not cut for display) of the selected cells, rows on lines and cells
    /// separated by tabs.
    QString selectedText() const;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void fitRows();
    QString exactValue(int row) const;

    ElementTableModel *m_elements;
    std::shared_ptr<const X12Document> m_document;
    std::uint32_t m_segment = 0;
};
