#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kelvane::detail {
class DocumentBuilder;
class ElementReader;
struct SegmentTable;
struct NodeTable;
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

/// One segment of a parsed document: a small handle, passed by value. Its texts are views into the
/// document, which must outlive it.
class X12Segment
{
public:
    X12Segment() = default;

    /// The segment identifier, upper-cased; empty when the segment starts with a separator.
    std::string_view tag() const noexcept;

    /// Number of data elements after the tag, empty ones included.
    std::size_t elementCount() const noexcept;

    /// Element by index from 0 (index 0 is element 01) exactly as written; empty beyond the end.
    std::string_view element(std::size_t index) const noexcept;

    /// Element by position from 1, the numbering of element references (NM103 is position 3).
    /// Empty for a position below 1 or beyond the end.
    std::string_view elementAt(std::ptrdiff_t position) const noexcept
    {
        return position < 1 ? std::string_view() : element(std::size_t(position - 1));
    }

    /// Replaces the contents of `out` with the elements, in order: what a loop over element()
    /// gives, found in one go.
    void elementsInto(std::vector<std::string_view> &out) const;

    /// All elements, for range-for and for copying into containers.
    class Elements;
    Elements elements() const noexcept;

    /// 1-based ordinal among the document's segments.
    std::ptrdiff_t position() const noexcept { return std::ptrdiff_t(m_index) + 1; }

    /// Index of the segment's first non-blank character in the parsed text, in characters
    /// (grapheme clusters), after CR LF pairs became line feeds.
    std::ptrdiff_t offset() const noexcept;

    /// The segment's text from tag to last element: trimmed, without its terminator.
    std::string_view raw() const noexcept;

    /// Segments are equal only when they are the same segment of the same parse.
    friend bool operator==(const X12Segment &a, const X12Segment &b) noexcept
    {
        return a.m_table == b.m_table && a.m_index == b.m_index;
    }

private:
    friend class kelvane::detail::DocumentBuilder;
    friend class kelvane::detail::ElementReader;
    friend class X12SegmentList;
    friend class X12Tree;
    friend struct std::hash<X12Segment>;
    X12Segment(const kelvane::detail::SegmentTable *table, std::uint32_t index)
        : m_table(table), m_index(index)
    {
    }

    /// Where the segment's element starts begin in its table, found on first use and kept: a
    /// segment's elements are mostly read several at a time through one handle.
    std::uint32_t firstElement() const noexcept;
    static constexpr std::uint32_t unresolved = ~std::uint32_t(0);

    const kelvane::detail::SegmentTable *m_table = nullptr;
    std::uint32_t m_index = 0;
    mutable std::uint32_t m_firstElement = unresolved; // read and kept through std::atomic_ref
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
        Iterator(X12Segment segment, std::size_t index) : m_segment(segment), m_index(index) {}
        std::string_view operator*() const noexcept { return m_segment.element(m_index); }
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
        X12Segment m_segment;
        std::size_t m_index = 0;
    };

    explicit Elements(X12Segment segment) : m_segment(segment) {}
    Iterator begin() const noexcept { return {m_segment, 0}; }
    Iterator end() const noexcept { return {m_segment, m_segment.elementCount()}; }
    std::size_t size() const noexcept { return m_segment.elementCount(); }

private:
    X12Segment m_segment;
};

inline X12Segment::Elements X12Segment::elements() const noexcept
{
    return Elements(*this);
}

template <>
struct std::hash<X12Segment>
{
    std::size_t operator()(const X12Segment &segment) const noexcept
    {
        return std::hash<const void *>()(segment.m_table) ^
               (std::size_t(segment.m_index) * 0x9E3779B97F4A7C15ull);
    }
};

/// Segments cut from a text, in file order. Their views point into that text, which must outlive
/// the list.
class X12SegmentList
{
public:
    class Iterator;

    X12SegmentList();
    X12SegmentList(X12SegmentList &&) noexcept;
    X12SegmentList &operator=(X12SegmentList &&) noexcept;
    ~X12SegmentList();

    std::size_t size() const noexcept { return m_size; }
    bool empty() const noexcept { return m_size == 0; }
    X12Segment operator[](std::size_t index) const noexcept
    {
        return {m_table.get(), std::uint32_t(index)};
    }
    X12Segment front() const noexcept { return (*this)[0]; }
    X12Segment back() const noexcept { return (*this)[m_size - 1]; }
    Iterator begin() const noexcept;
    Iterator end() const noexcept;

private:
    friend class kelvane::detail::DocumentBuilder;
    std::unique_ptr<kelvane::detail::SegmentTable> m_table;
    std::size_t m_size = 0;
};

class X12SegmentList::Iterator
{
public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = X12Segment;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = X12Segment;

    Iterator() = default;
    Iterator(const X12SegmentList *list, std::size_t index) : m_list(list), m_index(index) {}
    X12Segment operator*() const noexcept { return (*m_list)[m_index]; }
    X12Segment operator[](difference_type n) const noexcept
    {
        return (*m_list)[std::size_t(difference_type(m_index) + n)];
    }
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
    Iterator &operator--() noexcept
    {
        --m_index;
        return *this;
    }
    Iterator operator--(int) noexcept
    {
        Iterator old = *this;
        --m_index;
        return old;
    }
    Iterator &operator+=(difference_type n) noexcept
    {
        m_index = std::size_t(difference_type(m_index) + n);
        return *this;
    }
    Iterator &operator-=(difference_type n) noexcept { return *this += -n; }
    friend Iterator operator+(Iterator it, difference_type n) noexcept { return it += n; }
    friend Iterator operator+(difference_type n, Iterator it) noexcept { return it += n; }
    friend Iterator operator-(Iterator it, difference_type n) noexcept { return it -= n; }
    friend difference_type operator-(const Iterator &a, const Iterator &b) noexcept
    {
        return difference_type(a.m_index) - difference_type(b.m_index);
    }
    friend bool operator==(const Iterator &a, const Iterator &b) noexcept
    {
        return a.m_index == b.m_index;
    }
    friend auto operator<=>(const Iterator &a, const Iterator &b) noexcept
    {
        return a.m_index <=> b.m_index;
    }

private:
    const X12SegmentList *m_list = nullptr;
    std::size_t m_index = 0;
};

inline X12SegmentList::Iterator X12SegmentList::begin() const noexcept
{
    return {this, 0};
}

inline X12SegmentList::Iterator X12SegmentList::end() const noexcept
{
    return {this, m_size};
}

/// One node of the envelope/loop tree, read from the tree by value. Node i of a tree stands for
/// segment i: the ISA, GS or ST header of an envelope, the first segment of a loop, or the
/// segment itself. The dictionary composes its title and summary from that segment
/// (X12Dictionary::nodeTitle).
struct X12Node
{
    enum class Kind : std::uint8_t { interchange, functionalGroup, transaction, loop, segment };

    std::uint32_t parent; // index of the parent node; X12Document::rootId() at the top level
    std::uint32_t row;    // position among the parent's children
    std::uint32_t childCount;
    Kind kind;
};

std::string_view toString(X12Node::Kind kind) noexcept;

/// One problem with a document's envelopes: control numbers that do not match, counts that are
/// off, headers and trailers without each other, a malformed ISA.
struct X12Finding
{
    enum class Severity { error, warning };

    Severity severity;
    std::uint32_t position; // of the segment it concerns, from 1
    std::string message;    // names the elements and their values

    friend bool operator==(const X12Finding &, const X12Finding &) = default;
};

std::string_view toString(X12Finding::Severity severity) noexcept;

/// The envelope/loop tree of a list of segments: node i stands for segment i. The walk that builds
/// it also finds what is wrong with the envelopes. It reads its texts from those segments, so the
/// list must outlive it.
class X12Tree
{
public:
    X12Tree();
    X12Tree(X12Tree &&) noexcept;
    X12Tree &operator=(X12Tree &&) noexcept;
    ~X12Tree();

    std::size_t size() const noexcept;
    X12Node node(std::uint32_t index) const;
    X12Node::Kind kind(std::uint32_t index) const noexcept;
    std::uint32_t parent(std::uint32_t index) const noexcept;
    std::uint32_t row(std::uint32_t index) const noexcept;
    /// Indices of a node's children in file order; for X12Document::rootId(), the top-level nodes.
    /// The first call for a node that has children lists every container's children, in one
    /// pass over the nodes.
    std::span<const std::uint32_t> children(std::uint32_t index) const noexcept;
    /// Lists every container's children now, as the first children() call would.
    void listChildren() const noexcept;

    /// The envelope findings, in segment order. A finding's message is composed when it is read.
    std::size_t findingCount() const noexcept;
    X12Finding finding(std::size_t index) const;
    /// The index (from 0) of the segment finding `index` concerns, and how bad it is, without
    /// composing its message.
    std::uint32_t findingSegment(std::size_t index) const noexcept;
    X12Finding::Severity findingSeverity(std::size_t index) const noexcept;
    /// The acknowledgments' code for finding `index`: the TA1's TA105 for a finding about an ISA
    /// or IEA ("021": IEA01 is not the count), the 999's AK905 for one about a GS or GE, its
    /// IK502 for one about an ST or SE; empty when they have none.
    std::string_view findingCode(std::size_t index) const noexcept;
    /// The findings that concern one segment (index from 0): indices [first, second).
    std::pair<std::size_t, std::size_t> findingsAbout(std::uint32_t segment) const noexcept;

private:
    friend class kelvane::detail::DocumentBuilder;
    std::unique_ptr<kelvane::detail::NodeTable> m_table;
};

enum class X12ParseError { empty, noSegments };

/// The user-facing text of a parse failure.
std::string_view description(X12ParseError error) noexcept;

/// A parsed file: its text, delimiters, segments and tree. Made only by X12Parser::parse and
/// immutable afterwards; shared as std::shared_ptr<const X12Document>, so any thread may read it.
class X12Document
{
public:
    ~X12Document();
    X12Document(const X12Document &) = delete;
    X12Document &operator=(const X12Document &) = delete;

    const std::string &fileName() const noexcept { return m_fileName; }
    /// The delimiters of the first interchange, or those guessed for a file without a header.
    const X12Delimiters &delimiters() const noexcept { return m_delimiters; }
    /// The delimiters of the interchange that segment (or node) `index` belongs to: those its ISA
    /// declares, or the ones in force before it when that header was not followed (short or
    /// malformed, or the file's first cut needed a fallback terminator).
    const X12Delimiters &delimitersAt(std::uint32_t index) const noexcept;

    /// The parsed text: the file's text with every CR LF pair turned into a line feed.
    std::string_view text() const noexcept { return m_text; }

    /// Every non-empty segment in file order; never empty.
    const X12SegmentList &segments() const noexcept { return m_segments; }
    X12Segment segment(std::uint32_t index) const noexcept { return m_segments[index]; }

    /// The tree has one node per segment, in the order a depth-first walk meets them.
    std::size_t nodeCount() const noexcept { return m_tree.size(); }
    X12Node node(std::uint32_t index) const { return m_tree.node(index); }
    X12Node::Kind kind(std::uint32_t index) const noexcept { return m_tree.kind(index); }
    /// The node's parent (rootId() at the top level) and its place among the parent's children.
    std::uint32_t parent(std::uint32_t index) const noexcept { return m_tree.parent(index); }
    /// How many ancestors the node has: 0 for a top-level node.
    std::size_t depth(std::uint32_t index) const noexcept
    {
        std::size_t depth = 0;
        for (std::uint32_t p = parent(index); p != rootId(); p = parent(p))
            ++depth;
        return depth;
    }
    std::uint32_t row(std::uint32_t index) const noexcept { return m_tree.row(index); }

    /// The invisible parent of the top-level nodes.
    static constexpr std::uint32_t rootId() noexcept { return UINT32_MAX; }

    /// Indices of a node's children in file order; for rootId(), the top-level nodes.
    std::span<const std::uint32_t> children(std::uint32_t index) const noexcept
    {
        return m_tree.children(index);
    }
    std::span<const std::uint32_t> rootNodes() const noexcept { return m_tree.children(rootId()); }
    /// Lists every container's children now, on this thread, rather than at the first children()
    /// call: a window that opens a file does it beside the parse, so that nothing waits for it
    /// later. Command-line modes that never ask for children skip the work.
    void listChildren() const noexcept { m_tree.listChildren(); }

    /// What is wrong with the envelopes, found by the walk that built the tree, in segment order:
    /// for --check, the JSON and the window alike.
    std::size_t findingCount() const noexcept { return m_tree.findingCount(); }
    X12Finding finding(std::size_t index) const { return m_tree.finding(index); }
    std::uint32_t findingSegment(std::size_t index) const noexcept
    {
        return m_tree.findingSegment(index);
    }
    X12Finding::Severity findingSeverity(std::size_t index) const noexcept
    {
        return m_tree.findingSeverity(index);
    }
    std::string_view findingCode(std::size_t index) const noexcept
    {
        return m_tree.findingCode(index);
    }
    std::pair<std::size_t, std::size_t> findingsAbout(std::uint32_t segment) const noexcept
    {
        return m_tree.findingsAbout(segment);
    }

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
    // From which segment a later interchange declares other delimiters, in segment order.
    std::vector<std::pair<std::uint32_t, X12Delimiters>> m_laterDelimiters;
    X12SegmentList m_segments;
    X12Tree m_tree;
    std::vector<std::string> m_transactionSets;
};
