#pragma once

#include <QScrollArea>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

class ElementTableView;
class QVBoxLayout;
class X12Document;
struct InspectedNode;

/// The inspector of a selected node: header, element table, raw segment and the children line.
class SegmentDetailView : public QScrollArea
{
    Q_OBJECT

public:
    explicit SegmentDetailView(QWidget *parent = nullptr);
    void inspect(std::shared_ptr<const X12Document> document, const InspectedNode &node);
    /// The texts on screen, top to bottom, for tests.
    QStringList texts() const;
    /// The element table of the segment shown, if any.
    ElementTableView *table() const { return m_table; }

private:
    /// The segment's caption, element table, raw text and (for an interchange) its delimiters,
    /// with the findings about its elements (by position) on their rows. Returns the findings
    /// whose element has no row.
    std::vector<QString> addSegment(QVBoxLayout *stack, std::uint32_t segment, QWidget *content,
                                    std::vector<std::pair<std::ptrdiff_t, QString>> findings);

    std::shared_ptr<const X12Document> m_document;
    ElementTableView *m_table = nullptr;
};
