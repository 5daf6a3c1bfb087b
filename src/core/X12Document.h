#pragma once

#include "core/Uuid.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane::detail {
class DocumentBuilder;
class TextArena;
} // namespace kelvane::detail

/// The four delimiters of a file. Each is one character (grapheme cluster) stored as UTF-8, so a
/// control character such as U+001D or a multi-byte character can serve.
struct X12Delimiters
{
    std::string element;    // data element separator, the character right after "ISA"
    std::string component;  // component (sub-element) separator
    std::string repetition; // repetition separator
    std::string segment;    // segment terminator

    friend bool operator==(const X12Delimiters &, const X12Delimiters &) = default;
};

/// One segment of a parsed document. Its texts are views into the document, which must outlive it.
class X12Segment
{
public:
    /// The segment identifier, upper-cased; empty when the segment starts with a separator.
    std::string_view tag() const noexcept { return {m_tag, m_tagSize}; }

    /// Number of data elements after the tag, empty ones included.
    std::size_t elementCount() const noexcept { return m_elementCount; }

    /// Element by index from 0 (index 0 is element 01) exactly as written; empty beyond the end.
    std::string_view element(std::size_t index) const noexcept;

    /// Element by position from 1, the numbering of element references (NM103 is position 3).
    /// Empty for a position below 1 or beyond the end.
    std::string_view elementAt(std::ptrdiff_t position) const noexcept
    {
        return position < 1 ? std::string_view() : element(std::size_t(position - 1));
    }

    /// All elements, for range-for and for copying into containers.
    class Elements;
    Elements elements() const noexcept;

    /// 1-based ordinal among the document's segments.
    std::ptrdiff_t position() const noexcept { return m_position; }

    /// Index of the segment's first non-blank character in the parsed text, in characters
    /// (grapheme clusters), after CR LF pairs became line feeds.
    std::ptrdiff_t offset() const noexcept { return m_offset; }

    /// The segment's text from tag to last element: trimmed, without its terminator.
    std::string_view raw() const noexcept { return {m_raw, m_rawSize}; }

    /// Segments are equal only when they are the same segment of the same document.
    friend bool operator==(const X12Segment &a, const X12Segment &b) noexcept;

private:
    friend class kelvane::detail::DocumentBuilder;

    const char *m_raw = nullptr;
    const char *m_tag = nullptr;                    // into the text, or into the document's arena
    const std::uint32_t *m_elementStarts = nullptr; // byte offset of each element within raw
    std::uint32_t m_rawSize = 0;
    std::uint32_t m_tagSize = 0;
    std::uint32_t m_elementCount = 0;
    std::uint32_t m_separatorSize = 0; // bytes of the element separator that ends each element
    std::uint32_t m_offset = 0;
    std::uint32_t m_position = 0;
};

class X12Segment::Elements
{
public:
    class Iterator
    {
    public:
        using value_type = std::string_view;
        using difference_type = std::ptrdiff_t;
        Iterator() = default;
        Iterator(const X12Segment *segment, std::size_t index) : m_segment(segment), m_index(index)
        {
        }
        std::string_view operator*() const noexcept { return m_segment->element(m_index); }
        Iterator &operator++() noexcept
        {
            ++m_index;
            return *this;
        }
        Iterator operator++(int) noexcept
        {
            Iterator old = *this;
            ++m_index;
            return old;
        }
        friend bool operator==(const Iterator &, const Iterator &) = default;

    private:
        const X12Segment *m_segment = nullptr;
        std::size_t m_index = 0;
    };

    explicit Elements(const X12Segment *segment) : m_segment(segment) {}
    Iterator begin() const noexcept { return {m_segment, 0}; }
    Iterator end() const noexcept { return {m_segment, m_segment->elementCount()}; }
    std::size_t size() const noexcept { return m_segment->elementCount(); }

private:
    const X12Segment *m_segment;
};

inline X12Segment::Elements X12Segment::elements() const noexcept
{
    return Elements(this);
}

inline std::string_view X12Segment::element(std::size_t index) const noexcept
{
    if (index >= m_elementCount)
        return {};
    const std::uint32_t begin = m_elementStarts[index];
    const std::uint32_t end =
        index + 1 < m_elementCount ? m_elementStarts[index + 1] - m_separatorSize : m_rawSize;
    return {m_raw + begin, end - begin};
}

template <>
struct std::hash<X12Segment>
{
    std::size_t operator()(const X12Segment &segment) const noexcept;
};

/// One node of the envelope/loop tree. Node i of a document stands for segment i: the ISA, GS or
/// ST header of an envelope, the first segment of a loop, or the segment itself.
struct X12Node
{
    enum class Kind : std::uint8_t { interchange, functionalGroup, transaction, loop, segment };

    std::string_view title;    // into the document or static tables
    std::string_view subtitle; // one-line summary; may be empty
    std::uint32_t parent;      // index of the parent node, X12Document::rootId() at the top level
    std::uint32_t row;         // position among the parent's children; parent() depends on it being exact
    std::uint32_t firstChild;  // where this node's children start in the document's child list
    std::uint32_t childCount;
    Kind kind;
};

std::string_view toString(X12Node::Kind kind) noexcept;

enum class X12ParseError { empty, noSegments };

/// The user-facing text of a parse failure.
std::string_view description(X12ParseError error) noexcept;

/// Segments cut from a text. Their views point into that text, which must outlive the list.
class X12SegmentList
{
public:
    X12SegmentList();
    X12SegmentList(X12SegmentList &&) noexcept;
    X12SegmentList &operator=(X12SegmentList &&) noexcept;
    ~X12SegmentList();

    std::span<const X12Segment> segments() const noexcept { return m_segments; }
    std::size_t size() const noexcept { return m_segments.size(); }
    bool empty() const noexcept { return m_segments.empty(); }
    const X12Segment &operator[](std::size_t i) const noexcept { return m_segments[i]; }

private:
    friend class kelvane::detail::DocumentBuilder;
    std::vector<X12Segment> m_segments;
    std::vector<std::uint32_t> m_elementStarts;
    std::unique_ptr<kelvane::detail::TextArena> m_tags; // tags that had to be upper-cased
};

/// The envelope/loop tree of a list of segments: node i stands for segment i.
class X12Tree
{
public:
    X12Tree();
    X12Tree(X12Tree &&) noexcept;
    X12Tree &operator=(X12Tree &&) noexcept;
    ~X12Tree();

    std::span<const X12Node> nodes() const noexcept { return m_nodes; }
    std::span<const std::uint32_t> rootNodes() const noexcept { return m_rootNodes; }
    std::span<const std::uint32_t> children(std::uint32_t nodeIndex) const noexcept;

private:
    friend class kelvane::detail::DocumentBuilder;
    std::vector<X12Node> m_nodes;
    std::vector<std::uint32_t> m_childList;
    std::vector<std::uint32_t> m_rootNodes;
    std::unique_ptr<kelvane::detail::TextArena> m_texts; // composed titles and subtitles
};

/// A parsed file: its text, delimiters, segments and tree. Made only by X12Parser::parse and
/// immutable afterwards; shared as std::shared_ptr<const X12Document>, so any thread may read it.
class X12Document
{
public:
    ~X12Document();
    X12Document(const X12Document &) = delete;
    X12Document &operator=(const X12Document &) = delete;

    const std::string &fileName() const noexcept { return m_fileName; }
    const X12Delimiters &delimiters() const noexcept { return m_delimiters; }

    /// The parsed text: the file's text with every CR LF pair turned into a line feed.
    std::string_view text() const noexcept { return m_text; }

    /// Every non-empty segment in file order; never empty.
    std::span<const X12Segment> segments() const noexcept { return m_segments.segments(); }
    const X12Segment &segment(std::uint32_t index) const noexcept { return m_segments[index]; }

    /// Every tree node, in the order a depth-first walk meets them, which is also file order.
    std::span<const X12Node> nodes() const noexcept { return m_tree.nodes(); }
    const X12Node &node(std::uint32_t index) const noexcept { return m_tree.nodes()[index]; }

    /// The invisible parent of the top-level nodes.
    static constexpr std::uint32_t rootId() noexcept { return UINT32_MAX; }

    /// Indices of a node's children in file order; for rootId(), the top-level nodes.
    std::span<const std::uint32_t> children(std::uint32_t nodeIndex) const noexcept
    {
        return m_tree.children(nodeIndex);
    }
    std::span<const std::uint32_t> rootNodes() const noexcept { return m_tree.rootNodes(); }

    /// Stable identifiers, different for every segment and node and for every parse.
    Uuid segmentId(std::uint32_t index) const noexcept;
    Uuid nodeId(std::uint32_t index) const noexcept;

    /// Distinct non-empty ST01 codes in order of first appearance.
    const std::vector<std::string> &transactionSets() const noexcept { return m_transactionSets; }

    /// "57 segments · transaction set 837", or "... transaction set unknown" without ST codes.
    std::string summaryLine() const;

private:
    friend class kelvane::detail::DocumentBuilder;
    X12Document();

    std::string m_fileName;
    std::string m_text;
    X12Delimiters m_delimiters;
    X12SegmentList m_segments;
    X12Tree m_tree;
    std::vector<std::string> m_transactionSets;
    std::uint64_t m_idSeedHigh = 0;
    std::uint64_t m_idSeedLow = 0;
};
