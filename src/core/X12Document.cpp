#include "core/X12Document.h"

#include "core/TextArena_p.h"

namespace {

// A bijection on 62-bit values, so distinct indices give distinct identifiers.
std::uint64_t mix62(std::uint64_t x) noexcept
{
    constexpr std::uint64_t mask = (std::uint64_t(1) << 62) - 1;
    x &= mask;
    x ^= x >> 31;
    x = (x * 0xBF58476D1CE4E5B9ull) & mask;
    x ^= x >> 29;
    x = (x * 0x94D049BB133111EBull) & mask;
    x ^= x >> 32;
    return x;
}

} // namespace

bool operator==(const X12Segment &a, const X12Segment &b) noexcept
{
    // Each segment's raw text lives at its own place in its own document.
    return a.m_raw == b.m_raw && a.m_rawSize == b.m_rawSize && a.m_position == b.m_position &&
           a.m_offset == b.m_offset && a.tag() == b.tag() && a.m_elementCount == b.m_elementCount;
}

std::size_t std::hash<X12Segment>::operator()(const X12Segment &segment) const noexcept
{
    std::size_t h = std::hash<const void *>()(segment.raw().data());
    auto combine = [&h](std::size_t v) { h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2); };
    combine(std::hash<std::string_view>()(segment.tag()));
    combine(segment.elementCount());
    for (std::string_view element : segment.elements())
        combine(std::hash<std::string_view>()(element));
    combine(std::size_t(segment.position()));
    combine(std::size_t(segment.offset()));
    combine(std::hash<std::string_view>()(segment.raw()));
    return h;
}

std::string_view toString(X12Node::Kind kind) noexcept
{
    switch (kind) {
    case X12Node::Kind::interchange:
        return "interchange";
    case X12Node::Kind::functionalGroup:
        return "functionalGroup";
    case X12Node::Kind::transaction:
        return "transaction";
    case X12Node::Kind::loop:
        return "loop";
    case X12Node::Kind::segment:
        return "segment";
    }
    return "segment";
}

std::string_view description(X12ParseError error) noexcept
{
    switch (error) {
    case X12ParseError::empty:
        return "The file is empty.";
    case X12ParseError::noSegments:
        return "No X12 segments were found. This does not look like an X12/EDI file.";
    }
    return "The file could not be parsed.";
}

X12SegmentList::X12SegmentList() : m_tags(std::make_unique<kelvane::detail::TextArena>()) {}
X12SegmentList::X12SegmentList(X12SegmentList &&) noexcept = default;
X12SegmentList &X12SegmentList::operator=(X12SegmentList &&) noexcept = default;
X12SegmentList::~X12SegmentList() = default;

X12Tree::X12Tree() : m_texts(std::make_unique<kelvane::detail::TextArena>()) {}
X12Tree::X12Tree(X12Tree &&) noexcept = default;
X12Tree &X12Tree::operator=(X12Tree &&) noexcept = default;
X12Tree::~X12Tree() = default;

std::span<const std::uint32_t> X12Tree::children(std::uint32_t nodeIndex) const noexcept
{
    if (nodeIndex == X12Document::rootId())
        return m_rootNodes;
    const X12Node &n = m_nodes[nodeIndex];
    return std::span<const std::uint32_t>(m_childList).subspan(n.firstChild, n.childCount);
}

X12Document::X12Document()
{
    const Uuid seed = Uuid::random();
    m_idSeedHigh = seed.high();
    m_idSeedLow = seed.low();
}

X12Document::~X12Document() = default;

Uuid X12Document::segmentId(std::uint32_t index) const noexcept
{
    return Uuid::fromBits(m_idSeedHigh, mix62(m_idSeedLow + 2 * std::uint64_t(index)));
}

Uuid X12Document::nodeId(std::uint32_t index) const noexcept
{
    return Uuid::fromBits(m_idSeedHigh, mix62(m_idSeedLow + 2 * std::uint64_t(index) + 1));
}

std::string X12Document::summaryLine() const
{
    std::string line = std::to_string(m_segments.size());
    line += " segments \u00B7 transaction set ";
    if (m_transactionSets.empty()) {
        line += "unknown";
        return line;
    }
    for (std::size_t i = 0; i < m_transactionSets.size(); ++i) {
        if (i > 0)
            line += ", ";
        line += m_transactionSets[i];
    }
    return line;
}
