#pragma once

// Storage behind X12Segment and X12Node handles: a few flat arrays per document instead of one
// object per segment, so a 100 MB file costs a few times its size, not ten.

#include "core/TextArena_p.h"
#include "core/X12Document.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kelvane::detail {

struct SegmentRecord
{
    std::uint32_t rawBegin;     // byte offset of the raw text in the parsed text
    std::uint32_t rawSize;      // bytes
    std::uint32_t offset;       // characters before the segment in the parsed text
    std::uint32_t firstElement; // index of its first entry in elementStarts
};

struct SegmentTable
{
    const char *text = nullptr;
    std::uint32_t separatorSize = 0; // bytes of the element separator
    // One record per segment and one more, whose firstElement ends the last segment's elements.
    std::vector<SegmentRecord> records;
    // Where each element starts, in bytes from the start of its segment's raw text.
    std::vector<std::uint32_t> elementStarts;
    // Tags that are not the raw text's own first piece (it had to be upper-cased), by segment.
    std::vector<std::pair<std::uint32_t, std::string_view>> foldedTags;
    TextArena foldedText;
};

struct NodeRecord
{
    std::uint32_t parent;     // node index, or X12Document::rootId()
    std::uint32_t row;        // position among the parent's children
    std::uint32_t firstChild; // where its children start in childList
};

/// What a finding is about. Its message is composed from the segments when it is read, so a file
/// with millions of findings costs a few bytes for each.
enum class FindingKind : std::uint8_t {
    outsideInterchange,  // value: how many segments in the run
    isaLength,           // value: the ISA's length in characters, with its terminator
    isaSeparator,        // ISA16 is not one character
    unclosedTransaction, // value: how it ended, an EnvelopeEnd; the segment is the header
    unclosedGroup,
    unclosedInterchange,
    ieaWithoutIsa,
    geWithoutGs,
    seWithoutSt,
    ieaControl, // value: the header's index
    geControl,
    seControl,
    ieaCount, // value: what the envelope really holds
    geCount,
    seCount,
};

/// What closed an envelope that had no trailer.
enum class EnvelopeEnd : std::uint8_t { nextSt, ge, nextGs, iea, nextIsa, endOfFile };

/// A count as an envelope's trailer writes it: digits only, and fewer than 19 of them; nothing
/// for any other text.
inline std::optional<std::size_t> readCount(std::string_view written) noexcept
{
    if (written.empty() || written.size() >= 19)
        return std::nullopt;
    std::size_t value = 0;
    for (const char c : written) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + std::size_t(c - '0');
    }
    return value;
}

struct FindingRecord
{
    std::uint32_t segment; // the segment it concerns
    std::uint32_t value;   // by kind
    FindingKind kind;
};

// Node i stands for segment i. Titles and subtitles are not stored: they are composed from the
// segment when a node is read, which costs no memory and nothing for nodes never shown.
struct NodeTable
{
    const SegmentTable *segments = nullptr;
    // One record per node and one more, whose firstChild ends the last node's children.
    std::vector<NodeRecord> records;
    std::vector<X12Node::Kind> kinds;
    std::vector<std::uint32_t> childList;
    std::vector<std::uint32_t> roots;
    std::vector<FindingRecord> findings; // in segment order
};

} // namespace kelvane::detail
