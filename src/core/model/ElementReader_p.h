#pragma once

// A segment's elements read straight from its document's tables, for writers that ask one
// segment for many of its elements.

#include "core/model/DocumentTables_p.h"
#include "core/model/X12Document.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kelvane::detail {

/// Looks a segment's place in the tables up once, where X12Segment does it for every element
/// asked for. The segment handle must outlive the reader.
class ElementReader
{
public:
    explicit ElementReader(const X12Segment &segment) noexcept : m_segment(segment)
    {
        const SegmentTable &t = *segment.m_table;
        const std::uint32_t index = segment.m_index;
        m_count = t.elementCount(index);
        m_size = t.rawSizes[index];
        m_plainTag = t.foldedTags.empty();
        if (m_size != SegmentTable::longSize) {
            m_raw = t.text + t.rawBegins[index];
            m_starts = t.elementStarts.data() + segment.firstElement();
            m_separatorSize = t.separatorSize;
        }
    }

    /// The same as the segment's tag().
    std::string_view tag() const noexcept
    {
        if (!m_plainTag || m_starts == nullptr)
            return m_segment.tag();
        return {m_raw, m_count == 0 ? m_size : m_starts[0] - m_separatorSize};
    }

    /// The same as the segment's elementAt(position).
    std::string_view at(std::ptrdiff_t position) const noexcept
    {
        if (position < 1 || std::size_t(position) > m_count)
            return {};
        if (m_starts == nullptr)
            return m_segment.elementAt(position);
        const auto k = std::uint32_t(position - 1);
        const std::uint32_t end = k + 1 < m_count ? m_starts[k + 1] - m_separatorSize : m_size;
        return {m_raw + m_starts[k], end - m_starts[k]};
    }

    /// The same as the segment's element(index).
    std::string_view element(std::size_t index) const noexcept
    {
        return at(std::ptrdiff_t(index) + 1);
    }

private:
    const X12Segment &m_segment;
    const char *m_raw = nullptr;
    const std::uint16_t *m_starts = nullptr; // none for a long segment
    std::uint32_t m_count = 0;
    std::uint32_t m_size = 0;
    std::uint32_t m_separatorSize = 0;
    bool m_plainTag = true; // no tag of the document was upper-cased
};

} // namespace kelvane::detail
