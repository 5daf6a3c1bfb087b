#include "core/X12Parser.h"

#include "core/TextArena_p.h"
#include "core/Unicode_p.h"
#include "core/X12Dictionary.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

namespace kelvane::detail {

// The one place allowed to fill in segments, trees and documents.
class DocumentBuilder
{
public:
    /// A segment whose element offsets are attached later, by finishList.
    static X12Segment makeSegment(std::string_view raw, std::string_view tag,
                                  std::uint32_t elementCount, std::uint32_t separatorSize,
                                  std::size_t offset, std::size_t position)
    {
        X12Segment s;
        s.m_raw = raw.data();
        s.m_rawSize = std::uint32_t(raw.size());
        s.m_tag = tag.data();
        s.m_tagSize = std::uint32_t(tag.size());
        s.m_elementCount = elementCount;
        s.m_separatorSize = separatorSize;
        s.m_offset = std::uint32_t(offset);
        s.m_position = std::uint32_t(position);
        return s;
    }

    static std::vector<X12Segment> &segments(X12SegmentList &list) { return list.m_segments; }
    static std::vector<std::uint32_t> &elementStarts(X12SegmentList &list)
    {
        return list.m_elementStarts;
    }
    static TextArena &tags(X12SegmentList &list) { return *list.m_tags; }

    /// Points every segment at its element offsets once the offsets no longer move.
    static void finishList(X12SegmentList &list)
    {
        // Each segment's offsets follow the previous segment's.
        const std::uint32_t *next = list.m_elementStarts.data();
        for (X12Segment &segment : list.m_segments) {
            segment.m_elementStarts = next;
            next += segment.m_elementCount;
        }
    }

    static std::vector<X12Node> &nodes(X12Tree &tree) { return tree.m_nodes; }
    static std::vector<std::uint32_t> &childList(X12Tree &tree) { return tree.m_childList; }
    static std::vector<std::uint32_t> &rootNodes(X12Tree &tree) { return tree.m_rootNodes; }
    static TextArena &texts(X12Tree &tree) { return *tree.m_texts; }

    static std::shared_ptr<X12Document> makeDocument() { return std::shared_ptr<X12Document>(new X12Document); }
    static std::string &text(X12Document &document) { return document.m_text; }
    static void finishDocument(X12Document &document, std::string fileName,
                               X12Delimiters delimiters, X12SegmentList segments, X12Tree tree,
                               std::vector<std::string> transactionSets)
    {
        document.m_fileName = std::move(fileName);
        document.m_delimiters = std::move(delimiters);
        document.m_segments = std::move(segments);
        document.m_tree = std::move(tree);
        document.m_transactionSets = std::move(transactionSets);
    }
};

} // namespace kelvane::detail

namespace {

using kelvane::detail::DocumentBuilder;
using kelvane::detail::forEachCharacter;
using kelvane::detail::isWhiteSpace;
using kelvane::detail::TextArena;

// ISA is fixed-width: the delimiters stand at these offsets from its "I".
constexpr std::size_t isaLength = 106;
constexpr std::size_t isaElementOffset = 3;
constexpr std::size_t isaRepetitionOffset = 82;
constexpr std::size_t isaComponentOffset = 104;
constexpr std::size_t isaTerminatorOffset = 105;

// Without a header only this many characters are looked at, and a split whose longest segment
// reaches this many characters does not look like X12.
constexpr std::size_t sampleLength = 4000;

constexpr std::array<std::string_view, 3> elementCandidates{"*", "|", "\x1F"};
constexpr std::array<std::string_view, 2> terminatorCandidates{"~", "\x1D"};
constexpr std::array<std::string_view, 5> fallbackTerminators{"~", "\n", "\r", "\x1D", "'"};

bool sameCharacter(const char *at, std::size_t size, std::string_view delimiter) noexcept
{
    if (size != delimiter.size())
        return false;
    if (size == 1)
        return *at == delimiter.front();
    return std::memcmp(at, delimiter.data(), size) == 0;
}

bool isCharacterWhiteSpace(const char *at, std::size_t size) noexcept
{
    const auto c = static_cast<unsigned char>(*at);
    if (size == 1 || c < 0x80)
        return kelvane::detail::isAsciiWhiteSpace(c);
    return isWhiteSpace(std::string_view(at, size));
}

/// How many times a delimiter occurs in the text: a cheap upper bound for reserving.
std::size_t countOccurrences(std::string_view text, std::string_view needle) noexcept
{
    if (needle.empty())
        return 0;
    if (needle.size() == 1)
        return std::size_t(std::count(text.begin(), text.end(), needle.front()));
    std::size_t count = 0;
    for (std::size_t at = text.find(needle); at != std::string_view::npos;
         at = text.find(needle, at + needle.size()))
        ++count;
    return count;
}

/// One walk over the text that cuts segments. The sink receives each finished segment; it can
/// build the segments or only count them.
template <typename Sink>
void scanSegments(std::string_view text, std::string_view elementSeparator,
                  std::string_view terminator, Sink &sink)
{
    const char *s = text.data();
    bool hasContent = false;      // the current segment holds a character other than white space
    std::size_t startByte = 0;    // first non-blank character of the current segment
    std::size_t startIndex = 0;   // ... counted in characters
    std::size_t contentEnd = 0;   // byte just after its last non-blank character
    std::size_t contentLast = 0;  // index of that last non-blank character
    std::size_t index = 0;

    auto flush = [&] {
        if (hasContent)
            sink.segment(startByte, contentEnd, startIndex, contentLast - startIndex + 1);
        else
            sink.discard();
        hasContent = false;
    };

    forEachCharacter(text, [&](std::size_t begin, std::size_t end) {
        const std::size_t size = end - begin;
        if (sameCharacter(s + begin, size, terminator)) {
            flush();
        } else if (!isCharacterWhiteSpace(s + begin, size)) {
            if (!hasContent) {
                hasContent = true;
                startByte = begin;
                startIndex = index;
            }
            contentEnd = end;
            contentLast = index;
            if (sameCharacter(s + begin, size, elementSeparator))
                sink.separator(begin);
        } else if (hasContent && sameCharacter(s + begin, size, elementSeparator)) {
            // A blank separator counts inside the segment; trailing ones are dropped at the end.
            sink.separator(begin);
        }
        ++index;
        return true;
    });
    flush();
}

/// Counts segments and the longest one, without keeping anything.
struct SplitStats
{
    std::size_t count = 0;
    std::size_t longest = 0; // in characters

    void segment(std::size_t, std::size_t, std::size_t, std::size_t length)
    {
        ++count;
        longest = std::max(longest, length);
    }
    void separator(std::size_t) {}
    void discard() {}

    bool looksSplit() const { return count >= 2 && longest < sampleLength; }
};

/// Makes the segments of one split.
class SegmentSink
{
public:
    SegmentSink(std::string_view text, std::string_view elementSeparator,
                std::string_view terminator)
        : m_text(text), m_separatorSize(std::uint32_t(elementSeparator.size()))
    {
        // Every segment but the last ends in a terminator and holds at least one other character.
        const std::size_t segmentBound =
            std::min(countOccurrences(text, terminator), text.size() / 2) + 1;
        DocumentBuilder::segments(m_list).reserve(segmentBound);
        DocumentBuilder::elementStarts(m_list).reserve(countOccurrences(text, elementSeparator));
    }

    void separator(std::size_t at) { m_pending.push_back(at); }
    void discard() { m_pending.clear(); }

    void segment(std::size_t begin, std::size_t end, std::size_t offset, std::size_t length)
    {
        m_stats.segment(begin, end, offset, length);
        // Blank separators after the last non-blank character were trimmed away with it.
        while (!m_pending.empty() && m_pending.back() >= end)
            m_pending.pop_back();

        const std::string_view raw = m_text.substr(begin, end - begin);
        std::vector<std::uint32_t> &starts = DocumentBuilder::elementStarts(m_list);
        for (std::size_t at : m_pending)
            starts.push_back(std::uint32_t(at - begin + m_separatorSize));

        std::string_view tag =
            m_pending.empty() ? raw : raw.substr(0, m_pending.front() - begin);
        if (!kelvane::detail::isAsciiUpper(tag))
            tag = DocumentBuilder::tags(m_list).store(kelvane::detail::toUpper(tag));

        std::vector<X12Segment> &segments = DocumentBuilder::segments(m_list);
        segments.push_back(DocumentBuilder::makeSegment(raw, tag, std::uint32_t(m_pending.size()),
                                                        m_separatorSize, offset,
                                                        segments.size() + 1));
        m_pending.clear();
    }

    const SplitStats &stats() const { return m_stats; }

    X12SegmentList finish()
    {
        DocumentBuilder::finishList(m_list);
        return std::move(m_list);
    }

private:
    std::string_view m_text;
    std::uint32_t m_separatorSize;
    X12SegmentList m_list;
    std::vector<std::size_t> m_pending; // separators of the current segment, as byte offsets
    SplitStats m_stats;
};

std::pair<X12SegmentList, SplitStats> split(std::string_view text, const X12Delimiters &delimiters)
{
    SegmentSink sink(text, delimiters.element, delimiters.segment);
    scanSegments(text, delimiters.element, delimiters.segment, sink);
    SplitStats stats = sink.stats();
    return {sink.finish(), stats};
}

/// Rank of a loop-starting segment (a lower rank is an outer loop), or -1 for a segment that
/// starts no loop. Claim payments (835) rank their segments differently from every other set.
int loopRank(const X12Segment &segment, std::string_view transactionSet)
{
    const std::string_view tag = segment.tag();
    if (transactionSet == "835") {
        if (tag == "LX")
            return 15;
        if (tag == "TS3" || tag == "TS2")
            return 17;
        if (tag == "CLP")
            return 20;
        if (tag == "SVC")
            return 27;
        if (tag == "NM1" || tag == "N1")
            return 30;
        return -1;
    }
    if (tag == "HL") {
        const std::string_view level = segment.element(2);
        if (level == "20")
            return 10;
        if (level == "21")
            return 11;
        if (level == "22")
            return 12;
        if (level == "23")
            return 13;
        return 14;
    }
    if (tag == "CLM" || tag == "CLP" || tag == "PAT" || tag == "INS" || tag == "ENT")
        return 20;
    if (tag == "LX")
        return 25;
    if (tag == "SV1" || tag == "SV2" || tag == "SV3" || tag == "SV5" || tag == "SVC" ||
        tag == "SVD")
        return 27;
    if (tag == "NM1" || tag == "N1")
        return 30;
    return -1;
}

/// Keeps one copy of each distinct text in the tree's arena.
class Interner
{
public:
    explicit Interner(TextArena &arena) : m_arena(arena) {}

    std::string_view intern(std::string_view text)
    {
        if (text.empty())
            return {};
        if (auto it = m_seen.find(text); it != m_seen.end())
            return *it;
        const std::string_view stored = m_arena.store(text);
        m_seen.insert(stored);
        return stored;
    }

private:
    TextArena &m_arena;
    std::unordered_set<std::string_view> m_seen;
};

/// Removes the CR of every CR LF pair, in place.
void normalizeLineEnds(std::string &text)
{
    const std::size_t first = text.find("\r\n");
    if (first == std::string::npos)
        return;
    char *data = text.data();
    const std::size_t n = text.size();
    std::size_t write = first;
    std::size_t read = first;
    while (read < n) {
        if (data[read] == '\r' && read + 1 < n && data[read + 1] == '\n') {
            ++read;
            continue;
        }
        const void *cr = std::memchr(data + read + 1, '\r', n - read - 1);
        const std::size_t stop = cr ? std::size_t(static_cast<const char *>(cr) - data) : n;
        std::memmove(data + write, data + read, stop - read);
        write += stop - read;
        read = stop;
    }
    text.resize(write);
}

bool isBlank(std::string_view text)
{
    bool blank = true;
    forEachCharacter(text, [&](std::size_t begin, std::size_t end) {
        blank = isCharacterWhiteSpace(text.data() + begin, end - begin);
        return blank;
    });
    return blank;
}

} // namespace

namespace X12Parser {

X12Delimiters detectDelimiters(std::string_view text)
{
    // One walk finds the first "ISA" triple and, on the way, which candidates occur in the first
    // 4000 characters. The first triple decides: any later one has even fewer characters after it.
    std::array<std::string_view, isaLength> header{};
    std::size_t headerFound = 0; // characters of the header collected so far
    std::array<bool, elementCandidates.size()> elementSeen{};
    std::array<bool, terminatorCandidates.size()> terminatorSeen{};
    std::string_view previous[2];
    std::size_t index = 0;

    forEachCharacter(text, [&](std::size_t begin, std::size_t end) {
        const std::string_view c = text.substr(begin, end - begin);
        if (index < sampleLength) {
            for (std::size_t k = 0; k < elementCandidates.size(); ++k)
                elementSeen[k] = elementSeen[k] || c == elementCandidates[k];
            for (std::size_t k = 0; k < terminatorCandidates.size(); ++k)
                terminatorSeen[k] = terminatorSeen[k] || c == terminatorCandidates[k];
        }
        ++index;
        if (headerFound > 0) {
            header[headerFound++] = c;
            return headerFound < isaLength;
        }
        if (c == "A" && previous[1] == "S" && previous[0] == "I") {
            header[0] = previous[0];
            header[1] = previous[1];
            header[2] = c;
            headerFound = 3;
        }
        previous[0] = previous[1];
        previous[1] = c;
        return true;
    });

    X12Delimiters delimiters;
    if (headerFound == isaLength) {
        delimiters.element = header[isaElementOffset];
        const std::string_view repetition = header[isaRepetitionOffset];
        delimiters.repetition = (kelvane::detail::isLetterOrNumber(repetition) || repetition == " ")
                                    ? std::string("^")
                                    : std::string(repetition);
        delimiters.component = header[isaComponentOffset];
        const std::string_view terminator = header[isaTerminatorOffset];
        delimiters.segment =
            (terminator == "\r" || terminator == "\n") ? std::string("\n") : std::string(terminator);
        return delimiters;
    }

    delimiters.element = "*";
    for (std::size_t k = 0; k < elementCandidates.size(); ++k) {
        if (elementSeen[k]) {
            delimiters.element = elementCandidates[k];
            break;
        }
    }
    delimiters.segment = "\n";
    for (std::size_t k = 0; k < terminatorCandidates.size(); ++k) {
        if (terminatorSeen[k]) {
            delimiters.segment = terminatorCandidates[k];
            break;
        }
    }
    delimiters.component = ":";
    delimiters.repetition = "^";
    return delimiters;
}

X12SegmentList splitSegments(std::string_view text, const X12Delimiters &delimiters)
{
    return split(text, delimiters).first;
}

std::pair<X12Delimiters, X12SegmentList> splitWithBestDelimiters(std::string_view text)
{
    X12Delimiters detected = detectDelimiters(text);
    auto [segments, stats] = split(text, detected);
    if (stats.looksSplit())
        return {std::move(detected), std::move(segments)};

    // Candidates are only counted; the winner, if any, is split once more to keep it.
    const std::size_t baseline = stats.count;
    for (std::string_view terminator : fallbackTerminators) {
        if (terminator == detected.segment)
            continue; // gives the same split again, which cannot win
        SplitStats candidate;
        scanSegments(text, detected.element, terminator, candidate);
        if (candidate.count > baseline && candidate.looksSplit()) {
            X12Delimiters chosen = detected;
            chosen.segment = terminator;
            X12SegmentList winner = split(text, chosen).first;
            return {std::move(chosen), std::move(winner)};
        }
    }
    return {std::move(detected), std::move(segments)};
}

X12Tree buildTree(std::span<const X12Segment> segments)
{
    using Kind = X12Node::Kind;
    constexpr std::uint32_t none = X12Document::rootId();

    X12Tree tree;
    std::vector<X12Node> &nodes = DocumentBuilder::nodes(tree);
    std::vector<std::uint32_t> &roots = DocumentBuilder::rootNodes(tree);
    TextArena &arena = DocumentBuilder::texts(tree);
    Interner titles(arena);
    std::unordered_map<std::string_view, std::string_view> segmentTitles; // by tag
    nodes.reserve(segments.size());

    std::uint32_t interchange = none;
    std::uint32_t group = none;
    std::uint32_t transaction = none;
    std::vector<std::pair<int, std::uint32_t>> loops; // open loops, outermost first
    std::string_view transactionSet;
    std::uint32_t rootCount = 0;

    // The innermost open node; `none` means the top level.
    auto currentContainer = [&]() -> std::uint32_t {
        if (!loops.empty())
            return loops.back().second;
        if (transaction != none)
            return transaction;
        if (group != none)
            return group;
        return interchange;
    };
    auto firstOpen = [](std::initializer_list<std::uint32_t> candidates) {
        for (std::uint32_t c : candidates) {
            if (c != none)
                return c;
        }
        return none;
    };
    auto append = [&](std::uint32_t parent, std::string_view title, std::string_view subtitle,
                      Kind kind) {
        const auto index = std::uint32_t(nodes.size());
        std::uint32_t row;
        if (parent == none) {
            row = rootCount++;
            roots.push_back(index);
        } else {
            row = nodes[parent].childCount++;
        }
        nodes.push_back(X12Node{title, subtitle, parent, row, 0, 0, kind});
        return index;
    };
    auto segmentNode = [&](std::uint32_t parent, const X12Segment &segment) {
        const std::string_view tag = segment.tag();
        auto it = segmentTitles.find(tag);
        if (it == segmentTitles.end()) {
            std::string title(tag);
            title += " \u2014 ";
            title += X12Dictionary::segmentName(tag);
            it = segmentTitles.emplace(tag, titles.intern(title)).first;
        }
        append(parent, it->second, arena.store(X12Dictionary::segmentSubtitle(segment)),
               Kind::segment);
    };

    for (const X12Segment &segment : segments) {
        const std::string_view tag = segment.tag();
        if (tag == "ISA") {
            loops.clear();
            transaction = group = none;
            interchange = append(none, "Interchange",
                                 arena.store(X12Dictionary::envelopeSubtitle(segment)),
                                 Kind::interchange);
        } else if (tag == "IEA") {
            loops.clear();
            transaction = group = none;
            segmentNode(interchange, segment);
            interchange = none;
        } else if (tag == "GS") {
            loops.clear();
            transaction = none;
            std::string title = "Functional Group ";
            title += segment.element(0);
            group = append(interchange, titles.intern(title),
                           arena.store(X12Dictionary::envelopeSubtitle(segment)),
                           Kind::functionalGroup);
        } else if (tag == "GE") {
            loops.clear();
            transaction = none;
            segmentNode(firstOpen({group, interchange}), segment);
            group = none;
        } else if (tag == "ST") {
            loops.clear();
            transactionSet = segment.element(0);
            std::string title = "Transaction Set ";
            title += transactionSet;
            transaction = append(firstOpen({group, interchange}), titles.intern(title),
                                 titles.intern(X12Dictionary::transactionSetName(transactionSet)),
                                 Kind::transaction);
        } else if (tag == "SE") {
            loops.clear();
            segmentNode(firstOpen({transaction, group, interchange}), segment);
            transaction = none;
            transactionSet = {};
        } else if (const int rank = loopRank(segment, transactionSet); rank >= 0) {
            while (!loops.empty() && loops.back().first >= rank)
                loops.pop_back();
            const std::uint32_t loop =
                append(currentContainer(), titles.intern(X12Dictionary::loopTitle(segment)),
                       arena.store(X12Dictionary::loopSubtitle(segment)), Kind::loop);
            loops.emplace_back(rank, loop);
        } else {
            segmentNode(currentContainer(), segment);
        }
    }

    // Children become contiguous runs in node order; a node's row is its place in its run.
    std::vector<std::uint32_t> &childList = DocumentBuilder::childList(tree);
    std::uint32_t next = 0;
    for (X12Node &node : nodes) {
        node.firstChild = next;
        next += node.childCount;
    }
    childList.resize(next);
    for (std::uint32_t i = 0; i < nodes.size(); ++i) {
        const X12Node &node = nodes[i];
        if (node.parent != none)
            childList[nodes[node.parent].firstChild + node.row] = i;
    }
    return tree;
}

std::expected<std::shared_ptr<const X12Document>, X12ParseError> parse(std::string text,
                                                                       std::string fileName)
{
    assert(text.size() < UINT32_MAX);
    normalizeLineEnds(text);
    if (isBlank(text))
        return std::unexpected(X12ParseError::empty);

    // The document owns the text before anything points into it.
    std::shared_ptr<X12Document> document = DocumentBuilder::makeDocument();
    std::string &owned = DocumentBuilder::text(*document);
    owned = std::move(text);

    auto [delimiters, segments] = splitWithBestDelimiters(owned);
    if (segments.empty())
        return std::unexpected(X12ParseError::noSegments);

    X12Tree tree = buildTree(segments.segments());

    std::vector<std::string> transactionSets;
    std::unordered_set<std::string_view> seen;
    for (const X12Segment &segment : segments.segments()) {
        if (segment.tag() != "ST")
            continue;
        const std::string_view code = segment.element(0);
        if (!code.empty() && seen.insert(code).second)
            transactionSets.emplace_back(code);
    }

    DocumentBuilder::finishDocument(*document, std::move(fileName), std::move(delimiters),
                                    std::move(segments), std::move(tree),
                                    std::move(transactionSets));
    return document;
}

} // namespace X12Parser
