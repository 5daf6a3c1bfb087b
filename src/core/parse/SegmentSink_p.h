#pragma once

#include "core/model/DocumentTables_p.h"
#include "core/model/X12Document.h"
#include "core/parse/SegmentScanner_p.h"
#include "core/parse/TagClass_p.h"
#include "core/text/Unicode_p.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kelvane::detail {

/// The byte offsets of the element separators of the segment being cut: a list that is emptied
/// for every segment and grows rarely, so each separator costs a store, not a call.
class PendingSeparators
{
public:
    [[gnu::always_inline]] void push_back(std::size_t at)
    {
        if (m_size == m_offsets.size()) [[unlikely]]
            m_offsets.resize(std::max<std::size_t>(64, m_offsets.size() * 2));
        m_offsets[m_size++] = at;
    }
    void pop_back() noexcept { --m_size; }
    void clear() noexcept { m_size = 0; }
    bool empty() const noexcept { return m_size == 0; }
    std::size_t size() const noexcept { return m_size; }
    std::size_t front() const noexcept { return m_offsets[0]; }
    std::size_t back() const noexcept { return m_offsets[m_size - 1]; }
    const std::size_t *begin() const noexcept { return m_offsets.data(); }
    const std::size_t *end() const noexcept { return m_offsets.data() + m_size; }

private:
    std::vector<std::size_t> m_offsets;
    std::size_t m_size = 0;
};

/// Makes the segments of one split, as the scanner hands them over (see SegmentScanner). One that
/// follows headers notes each later ISA that declares other delimiters than the ones before it,
/// and has the text cut anew from one that declares another element separator or terminator.
/// The tables of every segment and element are written in place: a sink that cuts the second
/// half of a text writes them into the first half's sink's tables, in room set aside after its
/// own, so that joining the halves moves them by a few places instead of copying them into memory
/// not yet touched.
class SegmentSink
{
public:
    /// Room to reserve: how many segments and element separators a text can hold at most.
    struct Room
    {
        std::size_t segments = 0;
        std::size_t separators = 0;

        Room operator+(const Room &other) const
        {
            return {segments + other.segments, separators + other.separators};
        }
    };
    static Room roomFor(std::string_view scanned, const X12Delimiters &delimiters);

    /// A sink whose segments start the list, in tables of its own with room for `room`, grown
    /// when that runs out. Given `after`, the tables also hold room for a second sink's segments
    /// after its own (see the constructor below); then they never grow, and a segment that does
    /// not fit marks the sink overflowed.
    SegmentSink(std::string_view text, const X12Delimiters &delimiters, bool followsHeaders,
                Room room, Room after);
    SegmentSink(std::string_view text, const X12Delimiters &delimiters, bool followsHeaders);
    /// A sink whose segments are to be appended to `first`'s, which numbers them anew: it writes
    /// them into `first`'s tables, in the room set aside after first's own.
    SegmentSink(std::string_view text, const X12Delimiters &delimiters, bool followsHeaders,
                SegmentSink &first);

    static constexpr bool stopsAtLongSegment = false;
    static constexpr bool watchesHeaders = true;

    /// The delimiters in force for the segments to come.
    const X12Delimiters &delimiters() const
    {
        return m_table.laterDelimiters.empty() ? m_first : m_table.laterDelimiters.back().second;
    }

    /// Whether the segment that begins with "ISA" at byte `at` starts a header by whose element
    /// separator or terminator the text from there is to be cut. An element separator of another
    /// size than the first's is not followed: the segments share one separator size. Asked
    /// rarely, so kept out of the scan's loop.
    [[gnu::noinline]] bool switchesAt(std::size_t at);

    [[gnu::always_inline]] void separator(std::size_t at) { m_pending.push_back(at); }
    void discard() { m_pending.clear(); }
    void longSegment() {}

    void segment(std::size_t begin, std::size_t end, std::size_t offset, std::size_t length)
    {
        m_stats.segment(begin, end, offset, length);
        // Blank separators after the last non-blank character were trimmed away with it.
        while (!m_pending.empty() && m_pending.back() >= end)
            m_pending.pop_back();

        if (m_count == m_segmentRoom || m_pending.size() > m_elementRoom - m_elements)
            [[unlikely]] {
            if (!makeRoom(m_pending.size())) {
                m_pending.clear();
                return;
            }
        }
        const auto index = std::uint32_t(m_count++);
        m_rawBegins[index] = std::uint32_t(begin);
        if ((index & ((1u << SegmentTable::checkpointShift) - 1)) == 0 && m_keepsCheckpoints)
            m_table.elementCheckpoints.push_back(std::uint32_t(m_elements));
        if (m_pending.size() < SegmentTable::manyElements) {
            m_elementCounts[index] = std::uint8_t(m_pending.size());
        } else {
            m_elementCounts[index] = SegmentTable::manyElements;
            m_table.manyCounts.emplace_back(index, std::uint32_t(m_pending.size()));
        }
        writeElementStarts(index, begin, std::uint32_t(end - begin));
        if (const auto shift = std::uint32_t(begin - offset); shift != m_shift) {
            m_table.offsetShifts.push_back({index, shift});
            m_shift = shift;
        }
        m_classes[index] = static_cast<X12Node::Kind>(tagClass(index, begin, end));
        m_pending.clear();
    }

    const SplitStats &stats() const { return m_stats; }
    const SegmentTable &table() const { return m_table; }
    /// Whether a segment did not fit in room that could not grow: the split is to be made again
    /// otherwise.
    bool overflowed() const { return m_overflowed; }

    /// Appends the segments of a sink that cut the text right after this one's last segment,
    /// starting with the same delimiters and a character offset equal to its byte offset.
    /// `next` wrote its segments into this sink's tables (see its constructor), after the room
    /// of this one's own.
    void append(SegmentSink &&next);

    X12SegmentList finish();

private:
    /// Writes the size of segment `index` and where its pending elements start in it.
    [[gnu::always_inline]] void writeElementStarts(std::uint32_t index, std::size_t begin,
                                                   std::uint32_t size)
    {
        std::uint16_t *starts = m_elementStarts + m_elements;
        m_elements += m_pending.size();
        if (size < SegmentTable::longSize) {
            m_rawSizes[index] = std::uint16_t(size);
            for (std::size_t at : m_pending)
                *starts++ = std::uint16_t(at - begin + m_table.separatorSize);
        } else {
            m_rawSizes[index] = SegmentTable::longSize;
            m_table.longSegments.push_back({index, size, std::uint32_t(m_table.wideStarts.size())});
            for (std::size_t at : m_pending) {
                *starts++ = 0;
                m_table.wideStarts.push_back(std::uint32_t(at - begin + m_table.separatorSize));
            }
        }
    }

    /// The class of segment `index`, from `begin` to `end`, by its tag; its upper-cased tag is
    /// kept when it was written otherwise.
    [[gnu::always_inline]] TagClass tagClass(std::uint32_t index, std::size_t begin,
                                             std::size_t end)
    {
        std::string_view tag =
            m_text.substr(begin, (m_pending.empty() ? end : m_pending.front()) - begin);
        if (!isAsciiUpper(tag)) [[unlikely]] {
            tag = m_table.foldedText.store(toUpper(tag));
            m_table.foldedTags.emplace_back(index, tag);
        }
        const auto level = [this, end] {
            if (m_pending.size() < 3)
                return std::string_view();
            const std::size_t from = m_pending.begin()[2] + m_table.separatorSize;
            const std::size_t to = m_pending.size() > 3 ? m_pending.begin()[3] : end;
            return m_text.substr(from, to - from);
        };
        return classOf(tag, level);
    }

    /// Sizes the tables for `room`, keeping the segments and elements written so far. Adding
    /// room writes nothing (see LargeAllocator): pages never written cost no memory.
    void sizeTables(Room room);
    void pointAtTables();
    /// Room for one more segment of `elements` elements: the tables grow, or the sink is marked
    /// overflowed and false returned when they may not.
    [[gnu::noinline]] bool makeRoom(std::size_t elements);

    std::string_view m_text;
    X12SegmentList m_list;
    SegmentTable &m_table; // the sink's own: what is written rarely, and the list when first
    SegmentTable *m_into;  // where the segments' and elements' tables are written
    // Where this sink's segments and elements start in m_into's tables, how many have been
    // written and how many fit.
    std::size_t m_segmentBase = 0;
    std::size_t m_count = 0;
    std::size_t m_segmentRoom = 0;
    std::size_t m_elementBase = 0;
    std::size_t m_elements = 0;
    std::size_t m_elementRoom = 0;
    std::uint32_t *m_rawBegins = nullptr; // m_into's tables from this sink's first segment
    std::uint16_t *m_rawSizes = nullptr;
    std::uint8_t *m_elementCounts = nullptr;
    X12Node::Kind *m_classes = nullptr;
    std::uint16_t *m_elementStarts = nullptr; // from this sink's first element
    PendingSeparators m_pending;              // separators of the current segment
    std::uint32_t m_shift = 0;                // of the last segment
    SplitStats m_stats;
    X12Delimiters m_first;
    bool m_followsHeaders;
    bool m_keepsCheckpoints;
    bool m_grows;
    bool m_overflowed = false;
};

} // namespace kelvane::detail
