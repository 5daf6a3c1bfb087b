#pragma once

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

class X12Document;
class X12GuideLoops;

/// What the inspector shows: a node of the tree, or a node made on the spot for one segment.
struct InspectedNode
{
    QString title;
    QString subtitle;
    std::optional<std::uint32_t> segment; // index of the node's segment
    std::size_t childCount = 0;
    /// A finding about the segment, as "error: message".
    struct Finding
    {
        QString text;
        std::ptrdiff_t element = 0; // the position of the element it names, from 1; else 0
        friend bool operator==(const Finding &, const Finding &) = default;
    };
    std::vector<Finding> findings; // the envelope's, then the guide check's
    QString loop;                  // "Loop 2010AA · Billing Provider Name", or empty

    /// A node of the outline's tree, by index.
    static InspectedNode ofNode(const X12Document &document, const X12GuideLoops &loops,
                                std::uint32_t node);
    /// A segment of the list, by index: its tag and name, its summary, no children.
    static InspectedNode ofSegment(const X12Document &document, const X12GuideLoops &loops,
                                   std::uint32_t segment);
};
