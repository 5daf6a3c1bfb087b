#include "core/parse/SegmentSink_p.h"

#include "core/parse/ByteCounts_p.h"
#include "core/parse/DocumentBuilder_p.h"
#include "core/parse/IsaHeader_p.h"
#include "core/support/Memory_p.h"

#include <cassert>
#include <cstring>
#include <optional>
#include <utility>

namespace kelvane::detail {

SegmentSink::Room SegmentSink::roomFor(std::string_view scanned, const X12Delimiters &delimiters)
{
    // Every segment but the last ends in a terminator and holds at least one other character.
    const auto [terminators, separators] =
        countOccurrences(scanned, delimiters.segment, delimiters.element);
    return {std::min(terminators, scanned.size() / 2) + 2, separators};
}

SegmentSink::SegmentSink(std::string_view text, const X12Delimiters &delimiters,
                         bool followsHeaders, Room room, Room after)
    : m_text(text), m_table(DocumentBuilder::table(m_list)), m_into(&m_table), m_first(delimiters),
      m_followsHeaders(followsHeaders), m_keepsCheckpoints(true),
      m_grows(after.segments == 0 && after.separators == 0)
{
    m_table.text = text.data();
    m_table.separatorSize = std::uint32_t(delimiters.element.size());
    reserveLarge(m_table.elementCheckpoints,
                 ((room.segments + after.segments) >> SegmentTable::checkpointShift) + 1);
    sizeTables(room + after);
    m_segmentRoom = room.segments;
    m_elementRoom = room.separators;
}

SegmentSink::SegmentSink(std::string_view text, const X12Delimiters &delimiters,
                         bool followsHeaders)
    : SegmentSink(text, delimiters, followsHeaders, roomFor(text, delimiters), Room{0, 0})
{
}

SegmentSink::SegmentSink(std::string_view text, const X12Delimiters &delimiters,
                         bool followsHeaders, SegmentSink &first)
    : m_text(text), m_table(DocumentBuilder::table(m_list)), m_into(&first.m_table),
      m_first(delimiters), m_followsHeaders(followsHeaders), m_keepsCheckpoints(false),
      m_grows(false)
{
    m_table.text = text.data();
    m_table.separatorSize = std::uint32_t(delimiters.element.size());
    m_segmentBase = first.m_segmentRoom;
    m_elementBase = first.m_elementRoom;
    m_segmentRoom = m_into->rawBegins.size() - m_segmentBase;
    m_elementRoom = m_into->elementStarts.size() - m_elementBase;
    pointAtTables();
}

bool SegmentSink::switchesAt(std::size_t at)
{
    if (!m_followsHeaders)
        return false;
    std::optional<X12Delimiters> declared = laterHeaderDelimiters(m_text, at);
    if (!declared || *declared == delimiters() || declared->element.size() != m_table.separatorSize)
        return false;
    const bool cutsOtherwise =
        declared->element != delimiters().element || declared->segment != delimiters().segment;
    m_table.laterDelimiters.emplace_back(std::uint32_t(m_count), std::move(*declared));
    return cutsOtherwise;
}

void SegmentSink::append(SegmentSink &&next)
{
    assert(next.m_into == &m_table);
    SegmentTable &to = m_table;
    SegmentTable &from = next.m_table;
    const auto base = std::uint32_t(m_count);
    const auto wideBase = std::uint32_t(to.wideStarts.size());
    // Into place right after this sink's segments and elements.
    auto moveDown = [](auto &table, std::size_t at, std::size_t count, std::size_t place) {
        std::memmove(table.data() + place, table.data() + at, count * sizeof(table[0]));
    };
    moveDown(to.rawBegins, next.m_segmentBase, next.m_count, m_count);
    moveDown(to.rawSizes, next.m_segmentBase, next.m_count, m_count);
    moveDown(to.elementCounts, next.m_segmentBase, next.m_count, m_count);
    moveDown(to.classes, next.m_segmentBase, next.m_count, m_count);
    moveDown(to.elementStarts, next.m_elementBase, next.m_elements, m_elements);
    // Checkpoints fall on every 16th segment of the whole list: counted anew for these.
    std::size_t element = m_elements;
    std::size_t many = 0; // in from.manyCounts
    for (std::uint32_t i = 0; i < next.m_count; ++i) {
        if (((base + i) & ((1u << SegmentTable::checkpointShift) - 1)) == 0)
            to.elementCheckpoints.push_back(std::uint32_t(element));
        const std::uint8_t count = to.elementCounts[base + i];
        element += count != SegmentTable::manyElements ? count : from.manyCounts[many++].second;
    }
    m_count += next.m_count;
    m_elements += next.m_elements;
    to.wideStarts.insert(to.wideStarts.end(), from.wideStarts.begin(), from.wideStarts.end());
    for (const auto &[index, count] : from.manyCounts)
        to.manyCounts.emplace_back(base + index, count);
    for (const LongSegment &segment : from.longSegments)
        to.longSegments.push_back(
            {base + segment.index, segment.rawSize, wideBase + segment.firstWideStart});
    for (const OffsetShift &shift : from.offsetShifts)
        to.offsetShifts.push_back({base + shift.segment, shift.shift});
    for (const auto &[index, tag] : from.foldedTags)
        to.foldedTags.emplace_back(base + index, tag); // the views move with their arena
    to.foldedText.append(std::move(from.foldedText));
    for (auto &[index, delimiters] : from.laterDelimiters)
        to.laterDelimiters.emplace_back(base + index, std::move(delimiters));
    m_shift = next.m_shift;
    m_stats.count += next.m_stats.count;
    m_stats.longest = std::max(m_stats.longest, next.m_stats.longest);
}

X12SegmentList SegmentSink::finish()
{
    assert(m_into == &m_table);
    // Shrinking writes nothing.
    m_table.rawBegins.resize(m_count);
    m_table.rawSizes.resize(m_count);
    m_table.elementCounts.resize(m_count);
    m_table.classes.resize(m_count);
    m_table.elementStarts.resize(m_elements);
    DocumentBuilder::setSize(m_list, m_count);
    return std::move(m_list);
}

void SegmentSink::sizeTables(Room room)
{
    const auto size = [](auto &table, std::size_t kept, std::size_t total) {
        table.resize(kept); // so that growing copies only these
        reserveLarge(table, total);
        table.resize(total);
    };
    size(m_table.rawBegins, m_count, room.segments);
    size(m_table.rawSizes, m_count, room.segments);
    size(m_table.elementCounts, m_count, room.segments);
    size(m_table.classes, m_count, room.segments);
    size(m_table.elementStarts, m_elements, room.separators);
    pointAtTables();
}

void SegmentSink::pointAtTables()
{
    m_rawBegins = m_into->rawBegins.data() + m_segmentBase;
    m_rawSizes = m_into->rawSizes.data() + m_segmentBase;
    m_elementCounts = m_into->elementCounts.data() + m_segmentBase;
    m_classes = m_into->classes.data() + m_segmentBase;
    m_elementStarts = m_into->elementStarts.data() + m_elementBase;
}

bool SegmentSink::makeRoom(std::size_t elements)
{
    if (!m_grows) {
        m_overflowed = true;
        return false;
    }
    m_segmentRoom = std::max(m_segmentRoom + m_segmentRoom / 2, m_count + 1024);
    m_elementRoom = std::max(m_elementRoom + m_elementRoom / 2, m_elements + elements + 1024);
    sizeTables({m_segmentRoom, m_elementRoom});
    return true;
}

} // namespace kelvane::detail
