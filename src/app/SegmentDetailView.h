#pragma once

#include "app/InspectedNode.h"

#include <QScrollArea>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

class ElementTableView;
class QVBoxLayout;
class X12Document;

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

protected:
    void changeEvent(QEvent *event) override;

private:
    /// The segment's caption, element table, raw text and (for an interchange) its delimiters,
    /// with the findings about its elements (by position) on their rows. Returns the findings
    /// whose element has no row.
    std::vector<QString> addSegment(QVBoxLayout *stack, std::uint32_t segment, QWidget *content,
                                    std::vector<std::pair<std::ptrdiff_t, QString>> findings);

    std::shared_ptr<const X12Document> m_document;
    std::optional<InspectedNode> m_node; // shown, for a new palette
    ElementTableView *m_table = nullptr;
};
