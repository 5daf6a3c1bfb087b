#pragma once

// Storage behind X12Segment and X12Node handles: a few flat arrays per document instead of one
// object per segment, so a 100 MB file costs a few times its size, not ten.

#include "core/support/Memory_p.h"
#include "core/support/Simd_p.h"
#include "core/support/TextArena_p.h"
#include "core/model/X12Document.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <iterator>
#include <utility>
#include <mutex>
#include <vector>

namespace kelvane::detail {

/// The bits set in a word. Without the POPCNT instruction (the x86-64 baseline has none),
/// std::popcount is a call into the runtime library; this stays inline.
inline std::uint32_t countOnes(std::uint64_t word) noexcept
{
#if defined(__POPCNT__) || !defined(__x86_64__)
    return std::uint32_t(std::popcount(word));
#else
    word -= (word >> 1) & 0x5555555555555555u;
    word = (word & 0x3333333333333333u) + ((word >> 2) & 0x3333333333333333u);
    word = (word + (word >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
    return std::uint32_t((word * 0x0101010101010101u) >> 56);
#endif
}

/// A segment of 64 KiB or more: its size, and where its element starts are kept instead.
struct LongSegment
{
    std::uint32_t index;
    std::uint32_t rawSize;
    std::uint32_t firstWideStart; // its element starts in wideStarts
};

/// From this segment on, each segment's character offset is its byte offset less this shift (the
/// bytes that non-ASCII characters before it took beyond one each).
struct OffsetShift
{
    std::uint32_t segment;
    std::uint32_t shift;
};

// Parallel arrays, one entry per segment, sized for what they hold: a segment costs about 7 bytes
// and each of its elements 2, whatever its length.
struct SegmentTable
{
    static constexpr std::uint16_t longSize = 0xFFFF;  // in rawSizes: see longSegments
    static constexpr std::uint8_t manyElements = 0xFF; // in elementCounts: see manyCounts
    static constexpr unsigned checkpointShift = 4;     // a checkpoint every 16 segments

    const char *text = nullptr;
    std::uint32_t separatorSize = 0;         // bytes of the element separator
    LargeVector<std::uint32_t> rawBegins;    // byte offset of the raw text in the parsed text
    LargeVector<std::uint16_t> rawSizes;     // bytes, or longSize
    LargeVector<std::uint8_t> elementCounts; // or manyElements
    std::vector<std::pair<std::uint32_t, std::uint32_t>> manyCounts; // by segment
    // Index in elementStarts of the first element of every 16th segment, from the first.
    LargeVector<std::uint32_t> elementCheckpoints;
    // Where each element starts, in bytes from the start of its segment's raw text. A long
    // segment keeps a zero here for each element and its real starts in wideStarts.
    LargeVector<std::uint16_t> elementStarts;
    std::vector<LongSegment> longSegments; // by index
    LargeVector<std::uint32_t> wideStarts;
    std::vector<OffsetShift> offsetShifts; // by segment; none for a text that is all ASCII
    // Tags that are not the raw text's own first piece (it had to be upper-cased), by segment.
    std::vector<std::pair<std::uint32_t, std::string_view>> foldedTags;
    TextArena foldedText;
    // Each later ISA that declares other delimiters than the ones before it: its segment and what
    // it declares. Empty for a file with one set; the parse hands it on to the document.
    std::vector<std::pair<std::uint32_t, X12Delimiters>> laterDelimiters;
    // What the tree's walk needs to know of each segment's tag, found while the text is cut; the
    // walk takes it, so a finished document holds none.
    LargeVector<X12Node::Kind> classes;

    std::size_t size() const noexcept { return rawBegins.size(); }

    const LongSegment &longSegment(std::uint32_t index) const noexcept
    {
        return *std::lower_bound(
            longSegments.begin(), longSegments.end(), index,
            [](const LongSegment &entry, std::uint32_t i) { return entry.index < i; });
    }
    std::uint32_t rawSize(std::uint32_t index) const noexcept
    {
        const std::uint16_t size = rawSizes[index];
        return size != longSize ? size : longSegment(index).rawSize;
    }
    std::uint32_t elementCount(std::uint32_t index) const noexcept
    {
        const std::uint8_t count = elementCounts[index];
        if (count != manyElements)
            return count;
        return std::lower_bound(manyCounts.begin(), manyCounts.end(), index,
                                [](const auto &entry, std::uint32_t i) { return entry.first < i; })
            ->second;
    }
    /// Index of the segment's first element in elementStarts: its checkpoint's, plus the counts
    /// of the at most 15 segments between, added sixteen at a time where the table allows.
    std::uint32_t firstElement(std::uint32_t index) const noexcept
    {
        const std::uint32_t base = index >> checkpointShift << checkpointShift;
        std::uint32_t first = elementCheckpoints[index >> checkpointShift];
        if (base + simd::width <= elementCounts.size()) {
            using V = simd::Native;
            // The bytes of the segments before `index`: a window into 16 ones then 16 zeros.
            alignas(16) static constexpr std::uint8_t keep[32] = {
                0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0,    0,    0,    0,    0,    0};
            const V::Bytes counts = V::both(V::load(elementCounts.data() + base),
                                            V::load(keep + simd::width - (index - base)));
            // A segment with manyElements elements keeps its count elsewhere.
            if (V::topBits(V::equal(counts, V::splat(manyElements))) == 0)
                return first + V::sum(counts);
        }
        for (std::uint32_t i = base; i < index; ++i)
            first += elementCount(i);
        return first;
    }
    /// Where element k of the segment starts, in bytes from the start of its raw text.
    std::uint32_t elementStart(std::uint32_t index, std::uint32_t k) const noexcept
    {
        if (rawSizes[index] != longSize)
            return elementStarts[firstElement(index) + k];
        return wideStarts[longSegment(index).firstWideStart + k];
    }
    std::uint32_t offset(std::uint32_t index) const noexcept
    {
        const auto after = std::upper_bound(
            offsetShifts.begin(), offsetShifts.end(), index,
            [](std::uint32_t i, const OffsetShift &entry) { return i < entry.segment; });
        return rawBegins[index] - (after == offsetShifts.begin() ? 0 : std::prev(after)->shift);
    }
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
    stWithoutGs,        // an ST in an interchange but in no functional group
    outsideTransaction, // value: how many segments in the run, which is in a group
    stControlEmpty,
    seControlEmpty,
    stControlRepeated, // an earlier set of the same functional group has its ST02
    gsControlInvalid,  // GS06 is not a number of 1 to 9 digits
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

struct [[gnu::packed]] FindingRecord // 9 bytes: a file may hold one for every segment
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
    LargeVector<std::uint32_t> parents; // node index, or X12Document::rootId()
    LargeVector<X12Node::Kind> kinds;
    // Which nodes are containers (any kind but segment, which never has children): bit i % 64 of
    // word i / 64, with the number of containers before each word.
    LargeVector<std::uint64_t> containerBits;
    LargeVector<std::uint32_t> containerRanks;
    // Where each container's children start in childList, and one more that ends the last's.
    // Until the children are listed, each container's number of children, with room for one more
    // entry; childList has room for every child then.
    LargeVector<std::uint32_t> firstChildren;
    LargeVector<std::uint32_t> childList; // each container's children, in node order
    std::vector<std::uint32_t> roots;
    // Listing the children takes a pass over every node that --dump-tree and --check never need:
    // it is made by the first reader that asks for them (or by X12Document::listChildren()).
    bool childrenPending = false;
    std::once_flag childrenListed;

    /// Makes childList and firstChildren what they say, once, whichever threads ask.
    void listChildrenOnce() noexcept;

    bool isContainer(std::uint32_t node) const noexcept
    {
        return (containerBits[node >> 6] >> (node & 63) & 1) != 0;
    }
    /// The container's place among the containers, which indexes firstChildren: a rank
    /// directory over containerBits (the count of containers before each word of 64 nodes, plus
    /// the bits set before the node in its word).
    std::uint32_t containerSlot(std::uint32_t node) const noexcept
    {
        const std::uint64_t before =
            containerBits[node >> 6] & ((std::uint64_t(1) << (node & 63)) - 1);
        return containerRanks[node >> 6] + countOnes(before);
    }
    std::vector<FindingRecord> findings; // in segment order
};

} // namespace kelvane::detail
