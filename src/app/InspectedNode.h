#pragma once

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <optional>

class X12Document;
class X12GuideLoops;

/// What the inspector shows: a node of the tree, or a node made on the spot for one segment.
struct InspectedNode
{
    QString title;
    QString subtitle;
    std::optional<std::uint32_t> segment; // index of the node's segment
    std::size_t childCount = 0;
    QStringList findings; // envelope findings about the segment, as "error: message" texts
    QString loop;         // "Loop 2010AA · Billing Provider Name", or empty

    /// A node of the outline's tree, by index.
    static InspectedNode ofNode(const X12Document &document, const X12GuideLoops &loops,
                                std::uint32_t node);
    /// A segment of the list, by index: its tag and name, its summary, no children.
    static InspectedNode ofSegment(const X12Document &document, const X12GuideLoops &loops,
                                   std::uint32_t segment);
};
