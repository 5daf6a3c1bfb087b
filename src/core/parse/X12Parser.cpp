#include "core/parse/X12Parser.h"
#include "core/parse/X12Parser_p.h"

#include "core/model/DocumentTables_p.h"
#include "core/model/Envelope_p.h"
#include "core/text/TextFile.h"
#include "core/support/Memory_p.h"
#include "core/support/Parallel_p.h"
#include "core/support/TagKey_p.h"
#include "core/text/Unicode_p.h"
#include "core/dictionary/X12Dictionary.h"

#include <algorithm>
#include <bit>
#include <array>
#include <atomic>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <exception>
#include <initializer_list>
#include <optional>
#include <future>
#include <system_error>
#include <thread>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kelvane::detail {

// The one place allowed to fill in segment lists, trees and documents.
class DocumentBuilder
{
public:
    static SegmentTable &table(X12SegmentList &list) { return *list.m_table; }
    static const SegmentTable &table(const X12SegmentList &list) { return *list.m_table; }
    static void setSize(X12SegmentList &list, std::size_t size) { list.m_size = size; }
    static NodeTable &table(X12Tree &tree) { return *tree.m_table; }

    static std::shared_ptr<X12Document> makeDocument()
    {
        return std::shared_ptr<X12Document>(new X12Document);
    }
    static std::string &text(X12Document &document) { return document.m_text; }
    static void finishDocument(X12Document &document, std::string fileName,
                               X12Delimiters delimiters, X12SegmentList segments, X12Tree tree,
                               std::vector<std::string> transactionSets)
    {
        document.m_fileName = std::move(fileName);
        document.m_delimiters = std::move(delimiters);
        document.m_laterDelimiters = std::move(table(segments).laterDelimiters);
        document.m_segments = std::move(segments);
        document.m_tree = std::move(tree);
        document.m_transactionSets = std::move(transactionSets);
    }
};

} // namespace kelvane::detail

namespace {

using kelvane::detail::DocumentBuilder;
using kelvane::detail::EnvelopeEnd;
using kelvane::detail::FindingKind;
using kelvane::detail::FindingRecord;
using kelvane::detail::forEachCharacter;
using kelvane::detail::isWhiteSpace;
using kelvane::detail::NodeTable;
using kelvane::detail::SegmentTable;
using kelvane::detail::tagKey;
namespace envelope = kelvane::detail::envelope;

// ISA is fixed-width: the delimiters stand at these offsets from its "I".
constexpr std::size_t isaLength = envelope::isaLength;
constexpr std::size_t isaElementOffset = 3;
constexpr std::size_t isaRepetitionOffset = 82;
constexpr std::size_t isaComponentOffset = 104;
constexpr std::size_t isaTerminatorOffset = 105;
// Where a header written to its fixed layout has its element separator: after ISA and after each
// of ISA01 to ISA15.
constexpr std::array<std::size_t, 16> isaSeparatorOffsets{3,  6,  17, 20, 31, 34, 50,  53,
                                                          69, 76, 81, 83, 89, 99, 101, 103};
// The widest ISA01 to ISA15 are: the room between their separators in the fixed layout.
constexpr std::array<std::size_t, 15> isaWidths = [] {
    std::array<std::size_t, 15> widths{};
    for (std::size_t k = 0; k < widths.size(); ++k)
        widths[k] = isaSeparatorOffsets[k + 1] - isaSeparatorOffsets[k] - 1;
    return widths;
}();

/// The characters of an ISA header, each a view into the text.
using IsaHeader = std::array<std::string_view, isaLength>;

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

#if defined(__SSE2__)
/// The sum of sixteen byte-wide counters.
inline std::size_t sumOfBytes(__m128i counters) noexcept
{
    const __m128i sums = _mm_sad_epu8(counters, _mm_setzero_si128());
    return std::size_t(_mm_cvtsi128_si32(sums)) +
           std::size_t(_mm_cvtsi128_si32(_mm_unpackhi_epi64(sums, sums)));
}
#endif

std::pair<std::size_t, std::size_t> countOccurrences(std::string_view text, std::string_view first,
                                                     std::string_view second) noexcept;

/// How many times a delimiter occurs in the text: a cheap upper bound for reserving.
std::size_t countOccurrences(std::string_view text, std::string_view needle) noexcept
{
    if (needle.empty())
        return 0;
    if (needle.size() == 1)
        return countOccurrences(text, needle, needle).first;
    std::size_t count = 0;
    for (std::size_t at = text.find(needle); at != std::string_view::npos;
         at = text.find(needle, at + needle.size()))
        ++count;
    return count;
}

/// How many times each of two delimiters occurs in the text, both counted in one pass when each is
/// one byte, with byte-wide counters summed up before any of them can overflow.
std::pair<std::size_t, std::size_t> countOccurrences(std::string_view text, std::string_view first,
                                                     std::string_view second) noexcept
{
    if (first.size() != 1 || second.size() != 1)
        return {countOccurrences(text, first), countOccurrences(text, second)};
    const char a = first.front();
    const char b = second.front();
    std::size_t countA = 0;
    std::size_t countB = 0;
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i targetA = _mm_set1_epi8(a);
    const __m128i targetB = _mm_set1_epi8(b);
    while (i + 16 <= text.size()) {
        __m128i countersA = _mm_setzero_si128();
        __m128i countersB = _mm_setzero_si128();
        for (int round = 0; round < 255 && i + 16 <= text.size(); ++round, i += 16) {
            const __m128i bytes =
                _mm_loadu_si128(reinterpret_cast<const __m128i *>(text.data() + i));
            countersA = _mm_sub_epi8(countersA, _mm_cmpeq_epi8(bytes, targetA));
            countersB = _mm_sub_epi8(countersB, _mm_cmpeq_epi8(bytes, targetB));
        }
        countA += sumOfBytes(countersA);
        countB += sumOfBytes(countersB);
    }
#endif
    for (; i < text.size(); ++i) {
        countA += text[i] == a;
        countB += text[i] == b;
    }
    return {countA, countB};
}

/// Bit i is set when byte i of the 16 at `data` is the terminator, the separator, a carriage
/// return or outside ASCII: the only bytes the fast path has to look at one by one.
inline std::uint32_t interestingBytes(const char *data, char terminator, char separator) noexcept
{
#if defined(__SSE2__)
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data));
    const __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(terminator)),
                                                   _mm_cmpeq_epi8(bytes, _mm_set1_epi8(separator))),
                                      _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r')));
    return std::uint32_t(_mm_movemask_epi8(_mm_or_si128(hits, bytes)));
#else
    std::uint32_t mask = 0;
    for (int i = 0; i < 16; ++i) {
        const char c = data[i];
        if (c == terminator || c == separator || c == '\r' || static_cast<unsigned char>(c) >= 0x80)
            mask |= std::uint32_t(1) << i;
    }
    return mask;
#endif
}

/// The delimiters a header declares, as they cut the parsed text: line ends are normalised, so a
/// carriage return terminator cuts at line feeds, and a letter, digit or space in ISA11 is the
/// older repetition-less header's filler, not a separator. An empty `repetition` stands for an
/// ISA11 that is not one character.
X12Delimiters declaredDelimiters(std::string_view element, std::string_view repetition,
                                 std::string_view component, std::string_view terminator)
{
    X12Delimiters delimiters;
    delimiters.element = element;
    delimiters.repetition =
        (repetition.empty() || kelvane::detail::isLetterOrNumber(repetition) || repetition == " ")
            ? std::string("^")
            : std::string(repetition);
    delimiters.component = component;
    delimiters.segment =
        (terminator == "\r" || terminator == "\n") ? std::string("\n") : std::string(terminator);
    return delimiters;
}

/// The delimiters of a header written to the fixed layout, read by position.
X12Delimiters declaredDelimiters(const IsaHeader &header)
{
    return declaredDelimiters(header[isaElementOffset], header[isaRepetitionOffset],
                              header[isaComponentOffset], header[isaTerminatorOffset]);
}

/// Whether a whole header has its element separator at its sixteen places.
bool hasFixedLayout(const IsaHeader &header)
{
    return std::all_of(isaSeparatorOffsets.begin(), isaSeparatorOffsets.end(),
                       [&header](std::size_t k) { return header[k] == header[isaElementOffset]; });
}

/// Reads a header whose fixed layout is broken, ISA06 or ISA08 written without its padding say,
/// by its element separator, the character after "ISA": ISA01 to ISA15, none wider than in the
/// fixed layout, then ISA16's one character and the terminator. So it never takes more
/// characters than a fixed header has. It is fed one character at a time.
class SeparatedHeader
{
public:
    /// Takes the header's next character; false once the header is whole or cannot be one.
    bool take(std::string_view c)
    {
        const std::size_t k = m_taken++;
        if (k < 3)
            return c == std::string_view("ISA").substr(k, 1);
        if (k == isaElementOffset) {
            m_separator = c;
            return isDelimiter(c);
        }
        if (m_element < isaWidths.size()) {
            if (c == m_separator) {
                ++m_element;
                m_width = 0;
                return true;
            }
            if (m_element == 10) // ISA11
                m_repetition = m_width == 0 ? c : std::string_view();
            return ++m_width <= isaWidths[m_element];
        }
        if (m_component.empty()) {
            m_component = c;
            return true;
        }
        m_terminator = c;
        return false;
    }

    /// The delimiters the header declares, if it is whole and they can be delimiters: a
    /// component separator and terminator that are no letter, digit or other separator, and a
    /// terminator that is no blank but a line end.
    std::optional<X12Delimiters> delimiters() const
    {
        if (m_terminator.empty() || !isDelimiter(m_component) || m_component == m_separator ||
            m_terminator == m_separator || m_terminator == m_component ||
            kelvane::detail::isLetterOrNumber(m_terminator) ||
            (isWhiteSpace(m_terminator) && m_terminator != "\r" && m_terminator != "\n"))
            return std::nullopt;
        return declaredDelimiters(m_separator, m_repetition, m_component, m_terminator);
    }

private:
    static bool isDelimiter(std::string_view c)
    {
        return !kelvane::detail::isLetterOrNumber(c) && !isWhiteSpace(c);
    }

    std::size_t m_taken = 0;
    std::size_t m_element = 0; // the element being read: 0 is ISA01, 15 is ISA16
    std::size_t m_width = 0;   // its characters so far
    std::string_view m_separator;
    std::string_view m_repetition; // ISA11, when it is one character
    std::string_view m_component;
    std::string_view m_terminator;
};

/// The header's characters from byte `at`, which starts a character; how many were found. The
/// reading stops at the first character for which `fits(header, k)`, asked about character k,
/// says it cannot belong to the header.
template <typename Fits>
std::size_t readHeader(std::string_view text, std::size_t at, IsaHeader &header, Fits fits)
{
    std::size_t found = 0;
    forEachCharacter(text.substr(at), [&](std::size_t begin, std::size_t end) {
        header[found] = text.substr(at + begin, end - begin);
        return fits(header, found) && ++found < isaLength;
    });
    return found;
}

/// The delimiters of a later interchange's header at byte `at`: read by position when it is whole
/// and written to the fixed layout ("ISA", its element separator at its sixteen places and
/// nowhere else), else by its element separator (SeparatedHeader); either way its terminator must
/// occur nowhere before its own place. A garbled header declares nothing to cut the rest of a
/// file by. Unlike the first header's, a carriage return terminator is kept: a lone one is still
/// in the text (CR LF became LF), and cuts there as any other terminator does.
[[gnu::noinline]] std::optional<X12Delimiters> laterHeaderDelimiters(std::string_view text,
                                                                     std::size_t at)
{
    static constexpr auto separatorHere = [] {
        std::array<bool, isaLength> here{};
        for (const std::size_t k : isaSeparatorOffsets)
            here[k] = true;
        return here;
    }();
    // Checked as the characters come, so that text which only begins with "ISA" costs a few.
    auto fits = [](const IsaHeader &header, std::size_t k) {
        if (k < 3)
            return header[k] == std::string_view("ISA").substr(k, 1);
        return k == isaTerminatorOffset
                   ? header[k] != header[isaElementOffset]
                   : (header[k] == header[isaElementOffset]) == separatorHere[k];
    };
    IsaHeader header;
    std::optional<X12Delimiters> declared;
    std::size_t terminatorAt = isaTerminatorOffset;
    if (readHeader(text, at, header, fits) == isaLength) {
        declared = declaredDelimiters(header);
    } else {
        SeparatedHeader separated;
        terminatorAt =
            readHeader(text, at, header, [&separated](const IsaHeader &h, std::size_t k) {
                return separated.take(h[k]);
            });
        declared = separated.delimiters();
    }
    if (!declared)
        return std::nullopt;
    const std::string_view terminator = header[terminatorAt];
    if (std::find(header.begin(), header.begin() + terminatorAt, terminator) !=
        header.begin() + terminatorAt)
        return std::nullopt;
    if (terminator == "\r")
        declared->segment = "\r";
    return declared;
}

/// Where a scan starts or stopped: a byte offset and the characters before it.
struct ScanPoint
{
    std::size_t byte = 0;
    std::size_t index = 0;
};

/// Cuts text into segments and gives each to the sink, which builds them or only counts them.
/// With one-byte ASCII delimiters, plain ASCII segments take a fast path that looks only at the
/// delimiter bytes; every other segment is walked character by character. A sink that only
/// weighs a candidate terminator stops the scan at the first segment too long to look like X12
/// (Sink::stopsAtLongSegment), so a text that is not cut by it costs a few thousand characters.
/// A sink that watches headers (Sink::watchesHeaders) is asked about every segment after the
/// first whose text begins with "ISA"; where it answers that the text from there is cut with other
/// delimiters, the scan ends before that segment and returns where it begins.
template <typename Sink>
std::optional<ScanPoint> scanSegments(std::string_view text, std::string_view elementSeparator,
                                      std::string_view terminator, Sink &sink, ScanPoint from = {})
{
    const char *s = text.data();
    const std::size_t n = text.size();
    std::size_t index = from.index; // characters before the current segment
    std::size_t p = from.byte;      // start of the current segment's text
    using kelvane::detail::isAsciiWhiteSpace;
    auto stop = [&] {
        sink.longSegment();
        p = n;
    };
    std::optional<ScanPoint> restart;
    // Whether the segment whose text begins at byte `at` (character `atIndex`) starts a header
    // that the rest of the text is cut by; `restart` then says where.
    auto switchesAt = [&](std::size_t at, std::size_t atIndex) {
        if constexpr (Sink::watchesHeaders) {
            if (at != from.byte && n - at >= 3 && std::memcmp(s + at, "ISA", 3) == 0 &&
                sink.switchesAt(at)) {
                restart = ScanPoint{at, atIndex};
                return true;
            }
        }
        return false;
    };

    // One segment character by character, up to and including its terminator, or to the end.
    auto walkSegment = [&] {
        bool hasContent = false;     // the segment holds a character other than white space
        std::size_t startByte = 0;   // its first non-blank character
        std::size_t startIndex = 0;  // ... counted in characters
        std::size_t contentEnd = 0;  // byte just after its last non-blank character
        std::size_t contentLast = 0; // index of that last non-blank character
        std::size_t next = n;
        bool tooLong = false;
        forEachCharacter(text.substr(p), [&](std::size_t begin, std::size_t end) {
            begin += p;
            end += p;
            const std::size_t size = end - begin;
            if (sameCharacter(s + begin, size, terminator)) {
                next = end;
                return false;
            }
            // A byte-order mark starting a segment is where two files were joined, each with
            // its own mark: it belongs to no tag.
            const bool byteOrderMark =
                !hasContent && size == 3 && std::memcmp(s + begin, "\xEF\xBB\xBF", 3) == 0;
            if (!isCharacterWhiteSpace(s + begin, size) && !byteOrderMark) {
                if (!hasContent) {
                    if (switchesAt(begin, index))
                        return false;
                    hasContent = true;
                    startByte = begin;
                    startIndex = index;
                }
                contentEnd = end;
                contentLast = index;
                if constexpr (Sink::stopsAtLongSegment) {
                    if (contentLast - startIndex + 1 >= sampleLength) {
                        tooLong = true;
                        return false;
                    }
                }
                if (sameCharacter(s + begin, size, elementSeparator))
                    sink.separator(begin);
            } else if (hasContent && sameCharacter(s + begin, size, elementSeparator)) {
                // A blank separator counts inside the segment; trailing ones are dropped later.
                sink.separator(begin);
            }
            ++index;
            return true;
        });
        if (tooLong) {
            stop();
            return;
        }
        if (restart) {
            sink.discard();
            return;
        }
        if (hasContent)
            sink.segment(startByte, contentEnd, startIndex, contentLast - startIndex + 1);
        else
            sink.discard();
        if (next < n)
            ++index; // the terminator
        p = next;
    };

    const bool fast = terminator.size() == 1 && elementSeparator.size() == 1 &&
                      terminator != elementSeparator &&
                      static_cast<unsigned char>(terminator.front()) < 0x80 &&
                      static_cast<unsigned char>(elementSeparator.front()) < 0x80 &&
                      !isAsciiWhiteSpace(static_cast<unsigned char>(elementSeparator.front())) &&
                      elementSeparator.front() != '\r' && terminator.front() != '\r';
    if (!fast) {
        while (p < n && !restart)
            walkSegment();
        return restart;
    }

    // Every byte of plain ASCII is one character, and the separator is never blank, so every
    // separator lies between the segment's first and last non-blank bytes.
    const char term = terminator.front();
    const char sep = elementSeparator.front();
    // Ends the plain ASCII segment that runs from p to end: trims it and hands it to the sink.
    auto finishPlain = [&](std::size_t end) __attribute__((always_inline))
    {
        std::size_t a = p;
        while (a < end && isAsciiWhiteSpace(static_cast<unsigned char>(s[a])))
            ++a;
        if (a == end) {
            sink.discard();
            return;
        }
        std::size_t b = end;
        while (isAsciiWhiteSpace(static_cast<unsigned char>(s[b - 1])))
            --b;
        sink.segment(a, b, index + (a - p), b - a);
    };
    // Whether the plain ASCII segment from p, scanned up to i, already holds too many characters.
    // Asked at doubling distances from p, so a long segment is looked at O(length) times in all.
    std::size_t checkFrom = p;
    std::size_t checkAt = p + sampleLength;
    auto plainSegmentTooLong = [&](std::size_t i) {
        if (checkFrom != p) {
            checkFrom = p;
            checkAt = p + sampleLength;
        }
        if (i < checkAt)
            return false;
        checkAt = p + 2 * (i - p);
        std::size_t a = p;
        while (a < i && isAsciiWhiteSpace(static_cast<unsigned char>(s[a])))
            ++a;
        std::size_t b = i;
        while (b > a && isAsciiWhiteSpace(static_cast<unsigned char>(s[b - 1])))
            --b;
        return b - a >= sampleLength;
    };
    // Whether the segment that starts at p starts a header to cut by. Only one whose text begins
    // with "I" after plain blanks is looked at closer: the rest cost a compare or two.
    auto nextSwitches = [&]() __attribute__((always_inline))
    {
        if constexpr (Sink::watchesHeaders) {
            std::size_t q = p;
            while (q < n && isAsciiWhiteSpace(static_cast<unsigned char>(s[q])))
                ++q;
            return q < n && s[q] == 'I' && switchesAt(q, index + (q - p));
        }
        return false;
    };
    std::size_t i = p; // next byte to scan
    while (i < n) {
        if constexpr (Sink::stopsAtLongSegment) {
            if (plainSegmentTooLong(i)) {
                stop();
                return restart;
            }
        }
        std::uint32_t mask;
        if (i + 16 <= n) {
            mask = interestingBytes(s + i, term, sep);
        } else {
            char tail[16] = {};
            std::memcpy(tail, s + i, n - i);
            mask = interestingBytes(tail, term, sep) & ((std::uint32_t(1) << (n - i)) - 1);
        }
        std::size_t resume = i + 16;
        while (mask != 0) {
            const std::size_t at = i + std::size_t(std::countr_zero(mask));
            mask &= mask - 1;
            const char c = s[at];
            if (c == sep) {
                sink.separator(at);
                continue;
            }
            // A terminator followed by a non-ASCII byte may combine with it into one character.
            if (c == term && !(at + 1 < n && static_cast<unsigned char>(s[at + 1]) >= 0x80)) {
                finishPlain(at);
                index += at + 1 - p;
                p = at + 1;
                if constexpr (Sink::stopsAtLongSegment) {
                    if (sink.longest >= sampleLength) {
                        stop();
                        return restart;
                    }
                }
                if (nextSwitches())
                    return restart;
                continue;
            }
            // Not plain ASCII: this segment goes character by character.
            sink.discard();
            walkSegment();
            if (restart || nextSwitches())
                return restart;
            resume = p;
            break;
        }
        i = resume;
    }
    if (p < n)
        finishPlain(n); // the text after the last terminator, all plain ASCII
    return restart;
}

/// Counts segments and the longest one, without keeping anything.
struct SplitStats
{
    std::size_t count = 0;
    std::size_t longest = 0; // in characters

    static constexpr bool stopsAtLongSegment = false;
    static constexpr bool watchesHeaders = false;

    void segment(std::size_t, std::size_t, std::size_t, std::size_t length)
    {
        ++count;
        longest = std::max(longest, length);
    }
    void separator(std::size_t) {}
    void discard() {}
    void longSegment() { longest = std::max(longest, sampleLength); }

    bool looksSplit() const { return count >= 2 && longest < sampleLength; }
};

/// Weighs a fallback terminator: the scan stops as soon as it cannot look right.
struct CandidateStats : SplitStats
{
    static constexpr bool stopsAtLongSegment = true;
};

/// What the tree's walk needs to know of a segment's tag. It is found for every segment as the
/// text is cut, while the tag is at hand, so that the walk reads one byte a segment.
enum class TagClass : std::uint8_t {
    other,
    isa,
    iea,
    gs,
    ge,
    st,
    se,
    hl20, // HL by its level code (HL03)
    hl21,
    hl22,
    hl23,
    hlOther,
    claim, // CLM, PAT, INS, ENT
    clp,
    lx,
    ts,      // TS3, TS2
    service, // SV1, SV2, SV3, SV5, SVD
    svc,
    name, // NM1, N1
    count
};

/// The class of a segment by its tag; `level` gives the HL segment's level code (HL03).
template <typename Level>
TagClass classOf(std::string_view tag, Level &&level) noexcept
{
    switch (tagKey(tag)) {
    case tagKey("ISA"):
        return TagClass::isa;
    case tagKey("IEA"):
        return TagClass::iea;
    case tagKey("GS"):
        return TagClass::gs;
    case tagKey("GE"):
        return TagClass::ge;
    case tagKey("ST"):
        return TagClass::st;
    case tagKey("SE"):
        return TagClass::se;
    case tagKey("HL"): {
        const std::string_view code = level();
        if (code == "20")
            return TagClass::hl20;
        if (code == "21")
            return TagClass::hl21;
        if (code == "22")
            return TagClass::hl22;
        if (code == "23")
            return TagClass::hl23;
        return TagClass::hlOther;
    }
    case tagKey("CLM"):
    case tagKey("PAT"):
    case tagKey("INS"):
    case tagKey("ENT"):
        return TagClass::claim;
    case tagKey("CLP"):
        return TagClass::clp;
    case tagKey("LX"):
        return TagClass::lx;
    case tagKey("TS3"):
    case tagKey("TS2"):
        return TagClass::ts;
    case tagKey("SV1"):
    case tagKey("SV2"):
    case tagKey("SV3"):
    case tagKey("SV5"):
    case tagKey("SVD"):
        return TagClass::service;
    case tagKey("SVC"):
        return TagClass::svc;
    case tagKey("NM1"):
    case tagKey("N1"):
        return TagClass::name;
    default:
        return TagClass::other;
    }
}

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

/// Makes the segments of one split. One that follows headers notes each later ISA that declares
/// other delimiters than the ones before it, and has the text cut anew from one that declares
/// another element separator or terminator. The tables of every segment and element are written
/// in place: a sink that cuts the second half of a text writes them into the first half's sink's
/// tables, in room set aside after its own, so that joining the halves moves them by a few places
/// instead of copying them into memory not yet touched.
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
    static Room roomFor(std::string_view scanned, const X12Delimiters &delimiters)
    {
        // Every segment but the last ends in a terminator and holds at least one other character.
        const auto [terminators, separators] =
            countOccurrences(scanned, delimiters.segment, delimiters.element);
        return {std::min(terminators, scanned.size() / 2) + 2, separators};
    }

    /// A sink whose segments start the list, in tables of its own with room for `room`, grown
    /// when that runs out. Given `after`, the tables also hold room for a second sink's segments
    /// after its own (see the constructor below); then they never grow, and a segment that does
    /// not fit marks the sink overflowed.
    SegmentSink(std::string_view text, const X12Delimiters &delimiters, bool followsHeaders,
                Room room, Room after)
        : m_text(text), m_table(DocumentBuilder::table(m_list)), m_into(&m_table),
          m_first(delimiters), m_followsHeaders(followsHeaders), m_keepsCheckpoints(true),
          m_grows(after.segments == 0 && after.separators == 0)
    {
        m_table.text = text.data();
        m_table.separatorSize = std::uint32_t(delimiters.element.size());
        kelvane::detail::reserveLarge(
            m_table.elementCheckpoints,
            ((room.segments + after.segments) >> SegmentTable::checkpointShift) + 1);
        sizeTables(room + after);
        m_segmentRoom = room.segments;
        m_elementRoom = room.separators;
    }
    SegmentSink(std::string_view text, const X12Delimiters &delimiters, bool followsHeaders)
        : SegmentSink(text, delimiters, followsHeaders, roomFor(text, delimiters), Room{0, 0})
    {
    }
    /// A sink whose segments are to be appended to `first`'s, which numbers them anew: it writes
    /// them into `first`'s tables, in the room set aside after first's own.
    SegmentSink(std::string_view text, const X12Delimiters &delimiters, bool followsHeaders,
                SegmentSink &first)
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
    [[gnu::noinline]] bool switchesAt(std::size_t at)
    {
        if (!m_followsHeaders)
            return false;
        std::optional<X12Delimiters> declared = laterHeaderDelimiters(m_text, at);
        if (!declared || *declared == delimiters() ||
            declared->element.size() != m_table.separatorSize)
            return false;
        const bool cutsOtherwise =
            declared->element != delimiters().element || declared->segment != delimiters().segment;
        m_table.laterDelimiters.emplace_back(std::uint32_t(m_count), std::move(*declared));
        return cutsOtherwise;
    }

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
        const auto size = std::uint32_t(end - begin);
        m_rawBegins[index] = std::uint32_t(begin);
        if ((index & ((1u << SegmentTable::checkpointShift) - 1)) == 0 && m_keepsCheckpoints)
            m_table.elementCheckpoints.push_back(std::uint32_t(m_elements));
        if (m_pending.size() < SegmentTable::manyElements) {
            m_elementCounts[index] = std::uint8_t(m_pending.size());
        } else {
            m_elementCounts[index] = SegmentTable::manyElements;
            m_table.manyCounts.emplace_back(index, std::uint32_t(m_pending.size()));
        }
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
        if (const auto shift = std::uint32_t(begin - offset); shift != m_shift) {
            m_table.offsetShifts.push_back({index, shift});
            m_shift = shift;
        }

        std::string_view tag =
            m_text.substr(begin, (m_pending.empty() ? end : m_pending.front()) - begin);
        if (!kelvane::detail::isAsciiUpper(tag)) [[unlikely]] {
            tag = m_table.foldedText.store(kelvane::detail::toUpper(tag));
            m_table.foldedTags.emplace_back(index, tag);
        }
        const auto level = [this, end] {
            if (m_pending.size() < 3)
                return std::string_view();
            const std::size_t from = m_pending.begin()[2] + m_table.separatorSize;
            const std::size_t to = m_pending.size() > 3 ? m_pending.begin()[3] : end;
            return m_text.substr(from, to - from);
        };
        m_classes[index] = static_cast<X12Node::Kind>(classOf(tag, level));
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
    void append(SegmentSink &&next)
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
        for (const kelvane::detail::LongSegment &segment : from.longSegments)
            to.longSegments.push_back(
                {base + segment.index, segment.rawSize, wideBase + segment.firstWideStart});
        for (const kelvane::detail::OffsetShift &shift : from.offsetShifts)
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

    X12SegmentList finish()
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

private:
    /// Sizes the tables for `room`, keeping the segments and elements written so far. Adding
    /// room writes nothing (see LargeAllocator): pages never written cost no memory.
    void sizeTables(Room room)
    {
        const auto size = [](auto &table, std::size_t kept, std::size_t total) {
            table.resize(kept); // so that growing copies only these
            kelvane::detail::reserveLarge(table, total);
            table.resize(total);
        };
        size(m_table.rawBegins, m_count, room.segments);
        size(m_table.rawSizes, m_count, room.segments);
        size(m_table.elementCounts, m_count, room.segments);
        size(m_table.classes, m_count, room.segments);
        size(m_table.elementStarts, m_elements, room.separators);
        pointAtTables();
    }
    void pointAtTables()
    {
        m_rawBegins = m_into->rawBegins.data() + m_segmentBase;
        m_rawSizes = m_into->rawSizes.data() + m_segmentBase;
        m_elementCounts = m_into->elementCounts.data() + m_segmentBase;
        m_classes = m_into->classes.data() + m_segmentBase;
        m_elementStarts = m_into->elementStarts.data() + m_elementBase;
    }
    /// Room for one more segment of `elements` elements: the tables grow, or the sink is marked
    /// overflowed and false returned when they may not.
    [[gnu::noinline]] bool makeRoom(std::size_t elements)
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

/// Scans the text from `from` to its end into the sink, cutting anew wherever the sink follows a
/// later header.
void scanAll(std::string_view text, SegmentSink &sink, ScanPoint start = {})
{
    std::optional<ScanPoint> from = start;
    while (from) {
        // Copies: the sink's delimiters move when it notes the next header.
        const std::string element = sink.delimiters().element;
        const std::string terminator = sink.delimiters().segment;
        from = scanSegments(text, element, terminator, sink, *from);
    }
}

/// Whether every byte is ASCII other than CR, so that every byte is one character.
bool isPlainAscii(std::string_view text) noexcept
{
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r');
    for (; i + 16 <= text.size(); i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text.data() + i));
        if (_mm_movemask_epi8(_mm_or_si128(bytes, _mm_cmpeq_epi8(bytes, cr))) != 0)
            return false;
    }
#endif
    for (; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80 || c == '\r')
            return false;
    }
    return true;
}

std::size_t characterCount(std::string_view text)
{
    std::size_t count = 0;
    forEachCharacter(text, [&count](std::size_t, std::size_t) {
        ++count;
        return true;
    });
    return count;
}

/// Scans the lines before byte `linesEnd` into the sink, cutting each at the terminator and ending
/// it at its line break; where the scan goes on: `linesEnd`, or before a segment whose header the
/// text is cut anew by. `linesEnd` is 0 or follows a line break.
ScanPoint scanLines(std::string_view text, std::size_t linesEnd, SegmentSink &sink)
{
    // Copies: the sink's delimiters move when it notes a header. Those that cut differently end
    // the lines' scan, so these hold for all of it.
    const std::string element = sink.delimiters().element;
    const std::string terminator = sink.delimiters().segment;
    ScanPoint at;
    while (at.byte < linesEnd) {
        const std::size_t lineBreak = text.find('\n', at.byte);
        if (lineBreak == at.byte) { // an empty line holds no segment
            ++at.byte;
            ++at.index;
            continue;
        }
        if (const std::optional<ScanPoint> restart =
                scanSegments(text.substr(0, lineBreak), element, terminator, sink, at))
            return *restart;
        // Nothing joins a line feed to the character after it.
        const std::string_view line = text.substr(at.byte, lineBreak + 1 - at.byte);
        at.index += isPlainAscii(line) ? line.size() : characterCount(line);
        at.byte = lineBreak + 1;
    }
    return at;
}

/// A place soon after `middle` where the text can be cut in two and each part segmented alone
/// with the same result: just after a one-byte terminator with plain ASCII on both sides (one
/// character, which nothing joins), before a segment that is no ISA header. npos if none comes
/// within a megabyte.
std::size_t cutNear(std::string_view text, std::size_t middle, char terminator)
{
    const auto plain = [](char c) { return static_cast<unsigned char>(c) < 0x80 && c != '\r'; };
    const std::size_t limit = std::min(text.size(), middle + (1u << 20));
    for (std::size_t at = text.find(terminator, std::max<std::size_t>(middle, 1));
         at != std::string_view::npos && at < limit; at = text.find(terminator, at + 1)) {
        const std::size_t cut = at + 1;
        if (cut >= text.size() || !plain(text[at - 1]) || !plain(text[cut]))
            continue;
        std::size_t next = cut;
        while (next < text.size() &&
               kelvane::detail::isAsciiWhiteSpace(static_cast<unsigned char>(text[next])))
            ++next;
        if (text.substr(next, 3) != "ISA")
            return cut;
    }
    return std::string_view::npos;
}

} // namespace

namespace kelvane::detail {
std::atomic<std::size_t> halvedSplitMinimum{16u << 20};
std::atomic<std::size_t> partedWalkMinimum{1u << 19};
} // namespace kelvane::detail

namespace {

/// The split of a large text on two cores: the second half from a cut near the middle on a
/// worker, the first here. Taken only when its result is the one-pass split's: the first half is
/// plain ASCII (so the second starts at a character offset equal to its byte offset) and
/// declares no other delimiters; otherwise nothing, and the caller splits in one pass.
std::optional<std::pair<X12SegmentList, SplitStats>> splitInHalves(std::string_view text,
                                                                   const X12Delimiters &delimiters,
                                                                   bool followsHeaders,
                                                                   std::size_t linesEnd)
{
    const std::string_view terminator = delimiters.segment;
    if (text.size() < kelvane::detail::halvedSplitMinimum.load() || text.size() < 2 ||
        std::thread::hardware_concurrency() < 2 || terminator.size() != 1 ||
        static_cast<unsigned char>(terminator.front()) >= 0x80 || terminator == delimiters.element)
        return std::nullopt;
    const std::size_t cut = cutNear(text, text.size() / 2, terminator.front());
    if (cut == std::string_view::npos || cut <= linesEnd || !isPlainAscii(text.substr(0, cut)))
        return std::nullopt;

    // The worker tells the first half how much room the second takes; the first half's tables
    // are made with that room after their own, and the worker writes the second half there.
    std::promise<SegmentSink::Room> secondRoom;
    std::promise<SegmentSink *> firstSink; // once its tables have room for both halves
    std::optional<SegmentSink> second;
    std::optional<SegmentSink> first;
    std::exception_ptr failure; // of the worker, such as running out of memory
    bool delimitersChange = false;
    {
        std::jthread worker;
        try {
            worker = std::jthread([&] {
                try {
                    secondRoom.set_value(SegmentSink::roomFor(text.substr(cut), delimiters));
                    // On this thread's stack while it cuts: its counts change at every segment,
                    // and beside the first sink's they slowed both threads down.
                    SegmentSink sink(text, delimiters, followsHeaders,
                                     *firstSink.get_future().get());
                    scanAll(text, sink, ScanPoint{cut, cut});
                    second.emplace(std::move(sink)); // its tables and pointers stay put
                } catch (...) {
                    failure = std::current_exception();
                    try {
                        secondRoom.set_exception(failure); // unless the room was told already
                    } catch (const std::future_error &) {
                    }
                }
            });
        } catch (const std::system_error &) {
            return std::nullopt; // no second thread to be had: one pass does it
        }
        try {
            SegmentSink::Room room = SegmentSink::roomFor(text.substr(0, cut), delimiters);
            room.segments += countOccurrences(text.substr(0, linesEnd), "\n");
            first.emplace(text, delimiters, followsHeaders, room, secondRoom.get_future().get());
        } catch (...) {
            firstSink.set_exception(std::current_exception()); // the worker waits for it
            throw;
        }
        firstSink.set_value(&*first);
        const ScanPoint start = scanLines(text, linesEnd, *first);
        const std::optional<ScanPoint> restart =
            start.byte < linesEnd
                ? start
                : scanSegments(text.substr(0, cut), delimiters.element, terminator, *first, start);
        delimitersChange = restart || !first->table().laterDelimiters.empty();
    }
    if (failure)
        std::rethrow_exception(failure);
    // A header in the first half that changes the delimiters; either half with more segments
    // than its room, which a header in the second half that changes them can give.
    if (delimitersChange || first->overflowed() || second->overflowed())
        return std::nullopt;
    first->append(std::move(*second));
    SplitStats stats = first->stats();
    return std::pair{first->finish(), stats};
}

/// Cuts the text with the delimiters and, when `followsHeaders`, from each later ISA that declares
/// another element separator or terminator on with those. Before byte `linesEnd`, line breaks end
/// segments too (scanLines).
std::pair<X12SegmentList, SplitStats> split(std::string_view text, const X12Delimiters &delimiters,
                                            bool followsHeaders = false, std::size_t linesEnd = 0)
{
    if (auto halves = splitInHalves(text, delimiters, followsHeaders, linesEnd))
        return std::move(*halves);
    SegmentSink sink(text, delimiters, followsHeaders);
    scanAll(text, sink, scanLines(text, linesEnd, sink));
    SplitStats stats = sink.stats();
    return {sink.finish(), stats};
}

/// Rank of the loop a segment of this class starts (a lower rank is an outer loop), or -1 for
/// one that starts no loop. Claim payments (835) rank their segments differently from every
/// other set.
constexpr std::array<std::int8_t, std::size_t(TagClass::count)> loopRanks = [] {
    std::array<std::int8_t, std::size_t(TagClass::count)> ranks{};
    ranks.fill(-1);
    ranks[std::size_t(TagClass::hl20)] = 10;
    ranks[std::size_t(TagClass::hl21)] = 11;
    ranks[std::size_t(TagClass::hl22)] = 12;
    ranks[std::size_t(TagClass::hl23)] = 13;
    ranks[std::size_t(TagClass::hlOther)] = 14;
    ranks[std::size_t(TagClass::claim)] = 20;
    ranks[std::size_t(TagClass::clp)] = 20;
    ranks[std::size_t(TagClass::lx)] = 25;
    ranks[std::size_t(TagClass::service)] = 27;
    ranks[std::size_t(TagClass::svc)] = 27;
    ranks[std::size_t(TagClass::name)] = 30;
    return ranks;
}();
constexpr std::array<std::int8_t, std::size_t(TagClass::count)> paymentLoopRanks = [] {
    std::array<std::int8_t, std::size_t(TagClass::count)> ranks{};
    ranks.fill(-1);
    ranks[std::size_t(TagClass::lx)] = 15;
    ranks[std::size_t(TagClass::ts)] = 17;
    ranks[std::size_t(TagClass::clp)] = 20;
    ranks[std::size_t(TagClass::svc)] = 27;
    ranks[std::size_t(TagClass::name)] = 30;
    return ranks;
}();

/// Whether a segment of this class can hold others, in some transaction set.
constexpr std::array<bool, std::size_t(TagClass::count)> mayHoldOthers = [] {
    std::array<bool, std::size_t(TagClass::count)> holds{};
    for (std::size_t c = 0; c < holds.size(); ++c)
        holds[c] = loopRanks[c] >= 0 || paymentLoopRanks[c] >= 0;
    holds[std::size_t(TagClass::isa)] = true;
    holds[std::size_t(TagClass::gs)] = true;
    holds[std::size_t(TagClass::st)] = true;
    return holds;
}();

/// mayHoldOthers by arithmetic: the envelope headers are the odd classes before the first HL,
/// and every class from it on heads a loop in some set.
constexpr bool mayHoldOthersAt(unsigned char c) noexcept
{
    return c >= static_cast<unsigned char>(TagClass::hl20) || (c & 1u) != 0;
}
static_assert([] {
    for (std::size_t c = 0; c < mayHoldOthers.size(); ++c) {
        if (mayHoldOthersAt(static_cast<unsigned char>(c)) != mayHoldOthers[c])
            return false;
    }
    return true;
}());

/// How many of the classes may hold others: sixteen at a time, with byte-wide counters summed
/// up before any of them can overflow.
std::uint32_t countMayHoldOthers(const unsigned char *classes, std::uint32_t count) noexcept
{
    std::uint32_t total = 0;
    std::uint32_t i = 0;
#if defined(__SSE2__)
    const __m128i beforeLoops = _mm_set1_epi8(static_cast<char>(TagClass::hl20) - 1);
    const __m128i one = _mm_set1_epi8(1);
    const __m128i zero = _mm_setzero_si128();
    while (i + 16 <= count) {
        __m128i counters = zero;
        for (int round = 0; round < 255 && i + 16 <= count; ++round, i += 16) {
            const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i *>(classes + i));
            const __m128i envelope = _mm_cmpeq_epi8(_mm_subs_epu8(c, beforeLoops), zero);
            const __m128i holds = _mm_or_si128(_mm_andnot_si128(envelope, one),
                                               _mm_and_si128(envelope, _mm_and_si128(c, one)));
            counters = _mm_add_epi8(counters, holds);
        }
        total += std::uint32_t(sumOfBytes(counters));
    }
#endif
    for (; i < count; ++i)
        total += mayHoldOthersAt(classes[i]);
    return total;
}

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

/// The one walk over the segments: it builds the envelope and loop tree and, on the way, records
/// what is wrong with the envelopes (control numbers that do not match, counts that are off,
/// headers and trailers without each other, a malformed ISA).
class TreeWalk
{
public:
    /// `classes` are the segments' classes, found while they were cut.
    TreeWalk(const X12SegmentList &segments, NodeTable &table,
             kelvane::detail::LargeVector<X12Node::Kind> classes)
        : m_segments(segments), m_table(table)
    {
        m_table.segments = &DocumentBuilder::table(segments);
        kelvane::detail::reserveLarge(m_table.containerBits, segments.size() / 64 + 1);
        kelvane::detail::reserveLarge(m_table.containerRanks, segments.size() / 64 + 1);
        // Every segment is a node: each node's parent is written in its place (sizing writes
        // nothing), so that two parts of the walk can fill their halves at once.
        kelvane::detail::reserveLarge(m_table.parents, segments.size());
        m_table.parents.resize(segments.size());
        m_parents = m_table.parents.data();
        // Containers are counted in their places too, and the table cut to size at the end.
        kelvane::detail::reserveLarge(m_table.firstChildren, segments.size() + 2);
        m_table.firstChildren.resize(segments.size() + 2);
        m_firstChildren = m_table.firstChildren.data();
        // Room for the worst case, so that growing never copies: pages never written cost no
        // memory. Findings are rarely more than one a segment; past that they grow as usual.
        kelvane::detail::reserveLarge(m_table.roots, segments.size());
        kelvane::detail::reserveLarge(m_table.findings, segments.size() + 4);
        // Each segment's class waits in its node's place until the walk puts the kind there.
        assert(classes.size() == segments.size());
        m_table.kinds = std::move(classes);
        m_table.kinds.resize(segments.size(), X12Node::Kind{}); // never short of a node
        m_classes = m_table.kinds.data();
        m_kinds = m_table.kinds.data();
    }

    void run()
    {
        if (!walkInTwo()) {
            walk(std::uint32_t(m_segments.size()));
            finishWalk();
        }
        m_table.firstChildren.resize(m_containers); // shrinking writes nothing
        // Segments before, between or after interchanges are worth a word only in a file that
        // has interchanges.
        if (!m_anyInterchange)
            std::erase_if(m_table.findings, [](const FindingRecord &f) {
                return f.kind == FindingKind::outsideInterchange;
            });
        // A header left open is reported when its envelope ends: put it back in segment order.
        const auto bySegment = [](const FindingRecord &a, const FindingRecord &b) {
            return a.segment < b.segment;
        };
        if (!std::is_sorted(m_table.findings.begin(), m_table.findings.end(), bySegment))
            std::stable_sort(m_table.findings.begin(), m_table.findings.end(), bySegment);
        findRepeatedControls();
        // Room for listing the children, which is left to the first reader that asks: reserved
        // now, so that listing them allocates nothing.
        m_table.firstChildren.reserve(m_table.firstChildren.size() + 1);
        kelvane::detail::reserveLarge(m_table.childList,
                                      m_table.parents.size() - m_table.roots.size());
        m_table.childrenPending = true;
    }

    /// The transaction set codes of the ST headers, each once, in the order they first came.
    std::vector<std::string> takeTransactionSets() { return std::move(m_transactionSets); }

private:
    /// The second part of a walk in two: from segment `cut`, a transaction set header, where the
    /// interchange and the group whose headers are `interchange` and `group` are open and no
    /// transaction set is. Its nodes' parents and kinds, and its containers' counts (from
    /// `room` on), go to the first part's tables, in places that part does not reach; the rest
    /// goes to `part` until merge() adds it to the first part's. The two headers hold its first
    /// two containers, and their counts start at zero.
    TreeWalk(const TreeWalk &first, NodeTable &part, std::uint32_t cut, std::uint32_t interchange,
             std::uint32_t group, std::uint32_t room)
        : m_segments(first.m_segments), m_table(part), m_parents(first.m_parents),
          m_classes(first.m_classes), m_kinds(first.m_kinds + cut),
          m_firstChildren(first.m_firstChildren + room), m_base(cut), m_next(cut),
          m_anyInterchange(true)
    {
        m_table.segments = first.m_table.segments;
        m_table.containerBits.reserve((m_segments.size() - cut) / 64 + 2);
        m_table.containerRanks.reserve((m_segments.size() - cut) / 64 + 2);
        m_interchange = Open{Container{interchange, 0}};
        m_group = Open{Container{group, 1}};
        m_firstChildren[0] = 0;
        m_firstChildren[1] = 0;
        m_containers = 2;
        if ((cut & 63) != 0) { // the word the first part began; its rank is the first part's
            m_table.containerRanks.push_back(0);
            m_table.containerBits.push_back(0);
        }
    }

    /// Steps through the segments up to `end`.
    void walk(std::uint32_t end)
    {
        for (std::uint32_t i = m_next; i < end; ++i)
            step(static_cast<TagClass>(m_classes[i]), i);
    }

    /// Closes what the file left open at its end.
    void finishWalk()
    {
        endOutside();
        endStray();
        closeInterchange(EnvelopeEnd::endOfFile);
    }

    /// Walks a large file in two parts at once, on two cores: the second from the first
    /// transaction set header after the middle that follows a trailer. What the first part
    /// leaves open there follows from the classes before it (the interchange and group of the
    /// last ISA and GS, no transaction set), and is asserted when both parts are done; the
    /// counts that the second part's trailers check are added up then. False, having walked
    /// nothing, when the file is too small to be worth it or has no such place.
    bool walkInTwo()
    {
        const auto count = std::uint32_t(m_segments.size());
        if (count < 2 || count < kelvane::detail::partedWalkMinimum.load() ||
            std::thread::hardware_concurrency() < 2)
            return false;
        const auto *classes = reinterpret_cast<const unsigned char *>(m_classes);
        // A trailer right before it: no set is open. The last ISA and GS before it: no IEA or
        // GE since, so their interchange and group are open.
        const unsigned char *st = classes + count / 2;
        const unsigned char *const end = classes + count;
        do {
            st = static_cast<const unsigned char *>(
                std::memchr(st + 1, int(TagClass::st), std::size_t(end - st - 1)));
        } while (st != nullptr && st[-1] != static_cast<unsigned char>(TagClass::se));
        if (st == nullptr)
            return false;
        const auto cut = std::uint32_t(st - classes);
        const auto *isa =
            static_cast<const unsigned char *>(memrchr(classes, int(TagClass::isa), cut));
        if (isa == nullptr || std::memchr(isa, int(TagClass::iea), std::size_t(st - isa)))
            return false;
        const auto *gs = static_cast<const unsigned char *>(
            memrchr(isa, int(TagClass::gs), std::size_t(st - isa)));
        if (gs == nullptr || std::memchr(gs, int(TagClass::ge), std::size_t(st - gs)))
            return false;
        const auto interchange = std::uint32_t(isa - classes);
        const auto group = std::uint32_t(gs - classes);

        // The second part counts its containers after as many as the first part could have.
        const std::uint32_t room = countMayHoldOthers(classes, cut);
        NodeTable part;
        TreeWalk second(*this, part, cut, interchange, group, room);
        kelvane::detail::runParts(2, [&](std::size_t k) {
            if (k == 0) {
                walk(cut);
            } else {
                second.walk(count);
                second.finishWalk();
            }
        });
        // What the classes before the cut said the first part would leave open.
        assert(m_interchange && m_interchange->header.node == interchange && m_group &&
               m_group->header.node == group && !m_transaction && !m_outsideStart &&
               !m_strayStart && m_containers <= room);
        merge(second, cut);
        return true;
    }

    /// Adds the second part of a walk in two to this, the first, which stopped at `cut`.
    void merge(TreeWalk &second, std::uint32_t cut)
    {
        NodeTable &part = second.m_table;
        // The trailers of the interchange and group open at the cut count on from the first part.
        for (const Deferred &trailer : second.m_deferred) {
            const Open &open =
                trailer.header == m_interchange->header.node ? *m_interchange : *m_group;
            second.checkTrailerNow(trailer.index, trailer.header, open.count + trailer.count,
                                   trailer.rule);
        }
        const std::uint32_t containers = m_containers;
        const std::uint32_t *const counted = second.m_firstChildren;
        m_firstChildren[m_interchange->header.slot] += counted[0];
        m_firstChildren[m_group->header.slot] += counted[1];
        std::copy_n(counted + 2, second.m_containers - 2, m_firstChildren + containers); // down
        m_containers += second.m_containers - 2;
        std::size_t word = 0;
        if ((cut & 63) != 0) {
            m_table.containerBits.back() |= part.containerBits[0];
            word = 1;
        }
        for (; word < part.containerBits.size(); ++word) {
            m_table.containerBits.push_back(part.containerBits[word]);
            m_table.containerRanks.push_back(part.containerRanks[word] - 2 + containers);
        }
        m_table.roots.insert(m_table.roots.end(), part.roots.begin(), part.roots.end());
        m_table.findings.insert(m_table.findings.end(), part.findings.begin(), part.findings.end());
        for (std::string &code : second.m_transactionSets) {
            if (!m_seenSets.contains(code))
                m_transactionSets.push_back(std::move(code));
        }
        m_next = second.m_next;
    }

    using Kind = X12Node::Kind;
    static constexpr std::uint32_t none = X12Document::rootId();

    /// The ST02s of one functional group's transaction sets so far, as their segments: open
    /// addressing, with each number's hash beside its segment, and never more than half full. A
    /// slot is 8 bytes and a set takes at most four, so a group of a million sets costs 32 MB at
    /// most, with no allocation for each set.
    class SetControls
    {
    public:
        /// Adds the number of the set at `segment`; false, adding nothing, when an earlier set
        /// has it.
        bool insert(const X12SegmentList &segments, std::uint32_t segment, std::string_view control)
        {
            const auto hash = std::uint32_t(std::hash<std::string_view>{}(control));
            if (m_slots.size() < 2 * (m_count + 1))
                grow();
            const std::size_t mask = m_slots.size() - 1;
            for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
                Slot &slot = m_slots[i];
                if (slot.segment == none) {
                    slot = {segment, hash};
                    ++m_count;
                    return true;
                }
                if (slot.hash == hash &&
                    segments[slot.segment].element(envelope::stControl) == control)
                    return false;
            }
        }
        /// Starts the next group, letting the last one's slots go.
        void clear()
        {
            m_slots = {};
            m_count = 0;
        }

    private:
        struct Slot
        {
            std::uint32_t segment = none;
            std::uint32_t hash = 0;
        };
        void grow()
        {
            std::vector<Slot> old(std::max<std::size_t>(16, m_slots.size() * 2));
            old.swap(m_slots);
            const std::size_t mask = m_slots.size() - 1;
            for (const Slot &slot : old) {
                if (slot.segment == none)
                    continue;
                std::size_t i = slot.hash & mask;
                while (m_slots[i].segment != none)
                    i = (i + 1) & mask;
                m_slots[i] = slot;
            }
        }
        std::vector<Slot> m_slots; // a power of two of them, or none
        std::size_t m_count = 0;
    };

    /// A warning for each transaction set whose ST02 an earlier set of its group has. Found from
    /// the finished tree rather than during the walk, so that a walk in two parts compares sets
    /// on both sides of its cut; the findings are in segment order, as the walk left them.
    void findRepeatedControls()
    {
        if (m_table.kinds.empty())
            return; // nothing to search, and no place to search from
        const auto *kinds = reinterpret_cast<const unsigned char *>(m_table.kinds.data());
        const std::size_t walked = m_table.findings.size();
        // The next transaction set header from `from` on, before `to`, or null.
        const auto nextSet = [](const unsigned char *from, const unsigned char *to) {
            return static_cast<const unsigned char *>(
                std::memchr(from, int(Kind::transaction), std::size_t(to - from)));
        };
        SetControls controls;
        std::uint32_t group = none;
        // Most files number a group's sets upwards (0001, 0002, ...): a number above every one
        // before it is new, and needs no table. The table takes the group's earlier sets when a
        // number does not rise.
        bool rising = false;
        std::size_t lowestNew = 0; // while they rise: a number from this one up is new
        const unsigned char *const end = kinds + m_table.kinds.size();
        for (const unsigned char *st = nextSet(kinds, end); st; st = nextSet(st + 1, end)) {
            const auto index = std::uint32_t(st - kinds);
            const std::uint32_t parent = m_table.parents[index];
            if (parent == none || m_table.kinds[parent] != Kind::functionalGroup)
                continue;
            const std::string_view control = m_segments[index].element(envelope::stControl);
            if (control.empty())
                continue;
            if (parent != group) {
                group = parent;
                controls.clear();
                rising = true;
                lowestNew = 0;
            }
            if (rising) {
                // Fewer than 19 digits: adding one cannot overflow.
                const auto value = kelvane::detail::readCount(control);
                if (value && *value >= lowestNew) {
                    lowestNew = *value + 1;
                    continue;
                }
                rising = false;
                for (const unsigned char *earlier = nextSet(kinds + group + 1, st); earlier;
                     earlier = nextSet(earlier + 1, st)) {
                    const auto e = std::uint32_t(earlier - kinds);
                    const std::string_view number = m_segments[e].element(envelope::stControl);
                    if (m_table.parents[e] == group && !number.empty())
                        controls.insert(m_segments, e, number);
                }
            }
            if (!controls.insert(m_segments, index, control))
                add(FindingKind::stControlRepeated, index);
        }
        // Both runs are in segment order; on the same segment the walk's findings come first.
        if (m_table.findings.size() > walked)
            std::inplace_merge(
                m_table.findings.begin(), m_table.findings.begin() + std::ptrdiff_t(walked),
                m_table.findings.end(), [](const FindingRecord &a, const FindingRecord &b) {
                    return a.segment < b.segment;
                });
    }

    /// A node that holds others, with its place among containers (where its children are
    /// counted); `none` is the top level.
    struct Container
    {
        std::uint32_t node = none;
        std::uint32_t slot = 0;
    };

    /// An open envelope: its header, which is also its node, and what it has counted so far
    /// (groups in an interchange, sets in a group, segments in a set).
    struct Open
    {
        Container header;
        std::size_t count = 0;
    };

    struct Loop
    {
        int rank;
        Container node;
    };

    /// How a trailer is checked: the findings it can give, and the header's control number.
    struct TrailerRule
    {
        FindingKind controlMismatch;
        std::size_t headerControl; // the header's element, as X12Segment::element() counts
        FindingKind countMismatch;
    };
    /// A trailer left for merge() to check.
    struct Deferred
    {
        std::uint32_t index;
        std::uint32_t header;
        std::size_t count; // what this part counted
        TrailerRule rule;
    };

    void step(const TagClass tagClass, std::uint32_t index)
    {
        if (m_transaction)
            ++m_transaction->count;
        if (m_strayStart && tagClass != TagClass::other && tagClass <= TagClass::se)
            endStray(); // an envelope segment ends the run
        if (tagClass == TagClass::isa) {
            endOutside();
            closeInterchange(EnvelopeEnd::nextIsa);
            checkHeader(m_segments[index], index);
            m_anyInterchange = true;
            m_loops.clear();
            m_interchange = Open{append({}, Kind::interchange)};
            return;
        }
        if (!m_interchange && tagClass != TagClass::iea) {
            if (!m_outsideStart)
                m_outsideStart = index;
            ++m_outsideCount;
        } else {
            endOutside();
        }

        switch (tagClass) {
        case TagClass::iea:
            closeGroup(EnvelopeEnd::iea);
            m_loops.clear();
            append(headerOf(m_interchange), Kind::segment);
            if (m_interchange)
                checkTrailer(index, *m_interchange, FindingKind::ieaControl, envelope::isaControl,
                             FindingKind::ieaCount);
            else
                add(FindingKind::ieaWithoutIsa, index);
            m_interchange.reset();
            return;
        case TagClass::gs:
            closeGroup(EnvelopeEnd::nextGs);
            m_loops.clear();
            if (m_interchange)
                ++m_interchange->count;
            m_group = Open{append(headerOf(m_interchange), Kind::functionalGroup)};
            return;
        case TagClass::ge:
            closeTransaction(EnvelopeEnd::ge);
            m_loops.clear();
            append(innermost({&m_group, &m_interchange}), Kind::segment);
            if (m_group)
                checkTrailer(index, *m_group, FindingKind::geControl, envelope::gsControl,
                             FindingKind::geCount);
            else
                add(FindingKind::geWithoutGs, index);
            m_group.reset();
            return;
        case TagClass::st:
            closeTransaction(EnvelopeEnd::nextSt);
            m_loops.clear();
            {
                const X12Segment st = m_segments[index];
                const std::string_view code = st.element(envelope::stCode);
                m_ranks = code == "835" ? &paymentLoopRanks : &loopRanks;
                if (!code.empty() && m_seenSets.insert(code).second)
                    m_transactionSets.emplace_back(code);
                if (m_interchange && !m_group)
                    add(FindingKind::stWithoutGs, index);
                if (st.element(envelope::stControl).empty())
                    add(FindingKind::stControlEmpty, index);
            }
            if (m_group)
                ++m_group->count;
            // The set counts its ST and, when it comes, its SE.
            m_transaction =
                Open{append(innermost({&m_group, &m_interchange}), Kind::transaction), 1};
            return;
        case TagClass::se:
            m_loops.clear();
            append(innermost({&m_transaction, &m_group, &m_interchange}), Kind::segment);
            if (m_transaction)
                checkTrailer(index, *m_transaction, FindingKind::seControl, envelope::stControl,
                             FindingKind::seCount);
            else
                add(FindingKind::seWithoutSt, index);
            if (m_segments[index].element(envelope::trailerControl).empty())
                add(FindingKind::seControlEmpty, index);
            m_transaction.reset();
            m_ranks = &loopRanks;
            return;
        default:
            break;
        }
        // In a group, every segment belongs to a transaction set: between GS and ST, and between
        // SE and the next ST or GE, there should be none.
        if (!m_transaction && m_group && m_interchange) {
            if (!m_strayStart)
                m_strayStart = index;
            ++m_strayCount;
        }
        if (const int rank = (*m_ranks)[std::size_t(tagClass)]; rank >= 0) {
            while (!m_loops.empty() && m_loops.back().rank >= rank)
                m_loops.pop_back();
            const Container loop = append(currentContainer(), Kind::loop);
            m_loops.emplace_back();
            m_loops.back().rank = rank;
            m_loops.back().node = loop;
        } else {
            append(currentContainer(), Kind::segment);
        }
    }

    static Container headerOf(const std::optional<Open> &open)
    {
        return open ? open->header : Container{};
    }

    /// The header of the first open envelope among the candidates, innermost first.
    static Container innermost(std::initializer_list<const std::optional<Open> *> candidates)
    {
        for (const std::optional<Open> *candidate : candidates) {
            if (*candidate)
                return (*candidate)->header;
        }
        return {};
    }

    /// The innermost open node; `none` means the top level.
    Container currentContainer() const
    {
        if (!m_loops.empty())
            return m_loops.back().node;
        return innermost({&m_transaction, &m_group, &m_interchange});
    }

    /// Appends the node of the next segment. Until the children are listed, firstChildren counts
    /// each container's children.
    Container append(Container parent, Kind kind)
    {
        const std::uint32_t index = m_next++;
        if ((index & 63) == 0) {
            m_table.containerRanks.push_back(m_containers);
            m_table.containerBits.push_back(0);
        }
        if (parent.node == none)
            m_table.roots.push_back(index);
        else
            ++m_firstChildren[parent.slot];
        m_parents[index] = parent.node;
        m_kinds[index - m_base] = kind;
        if (kind == Kind::segment)
            return {index, 0};
        m_table.containerBits.back() |= std::uint64_t(1) << (index & 63);
        m_firstChildren[m_containers] = 0;
        return {index, m_containers++};
    }

    void add(FindingKind kind, std::uint32_t segment, std::size_t value = 0)
    {
        m_table.findings.push_back({segment, std::uint32_t(value), kind});
    }

    void endOutside()
    {
        if (m_outsideStart)
            add(FindingKind::outsideInterchange, *m_outsideStart, m_outsideCount);
        m_outsideStart.reset();
        m_outsideCount = 0;
    }
    void endStray()
    {
        if (m_strayStart)
            add(FindingKind::outsideTransaction, *m_strayStart, m_strayCount);
        m_strayStart.reset();
        m_strayCount = 0;
    }

    void checkHeader(const X12Segment &isa, std::uint32_t index)
    {
        // The header is fixed-width: 105 characters and its terminator.
        const std::size_t length = characterCount(isa.raw()) + 1;
        if (length != isaLength)
            add(FindingKind::isaLength, index, length);
        if (characterCount(isa.element(envelope::isaComponent)) != 1)
            add(FindingKind::isaSeparator, index);
    }

    /// A trailer's control number against its header's, and its count against what the envelope
    /// holds.
    /// In the second part of a walk in two, a trailer whose header the first part opened waits
    /// for that part's count.
    void checkTrailer(std::uint32_t index, const Open &open, FindingKind controlMismatch,
                      std::size_t headerControl, FindingKind countMismatch)
    {
        const TrailerRule rule{controlMismatch, headerControl, countMismatch};
        if (open.header.node < m_base) {
            m_deferred.push_back({index, open.header.node, open.count, rule});
            return;
        }
        checkTrailerNow(index, open.header.node, open.count, rule);
    }
    void checkTrailerNow(std::uint32_t index, std::uint32_t header, std::size_t count,
                         const TrailerRule &rule)
    {
        const X12Segment trailer = m_segments[index];
        const std::string_view control = trailer.element(envelope::trailerControl);
        const std::string_view headerControl = m_segments[header].element(rule.headerControl);
        // An empty ST02 or SE02 has a finding of its own.
        const bool emptySetControl = rule.controlMismatch == FindingKind::seControl &&
                                     (control.empty() || headerControl.empty());
        if (control != headerControl && !emptySetControl)
            add(rule.controlMismatch, index, header);
        if (kelvane::detail::readCount(trailer.element(envelope::trailerCount)) != count)
            add(rule.countMismatch, index, count);
    }

    // Headers closed by something other than their trailer.
    void closeTransaction(EnvelopeEnd end)
    {
        if (m_transaction)
            add(FindingKind::unclosedTransaction, m_transaction->header.node, std::size_t(end));
        m_transaction.reset();
    }
    void closeGroup(EnvelopeEnd end)
    {
        closeTransaction(end);
        if (m_group)
            add(FindingKind::unclosedGroup, m_group->header.node, std::size_t(end));
        m_group.reset();
    }
    void closeInterchange(EnvelopeEnd end)
    {
        closeGroup(end);
        if (m_interchange)
            add(FindingKind::unclosedInterchange, m_interchange->header.node, std::size_t(end));
        m_interchange.reset();
    }

    const X12SegmentList &m_segments;
    NodeTable &m_table;
    std::uint32_t *m_parents = nullptr;       // by node, shared by both parts of a walk in two
    const X12Node::Kind *m_classes = nullptr; // by segment, until the walk puts kinds there
    X12Node::Kind *m_kinds = nullptr;         // by node, from m_base
    std::uint32_t *m_firstChildren = nullptr; // by container, from this part's first
    std::uint32_t m_containers = 0;           // so far
    std::uint32_t m_base = 0;                 // the first node this part walks
    std::uint32_t m_next = 0;                 // the next node
    std::vector<Deferred> m_deferred;
    std::optional<Open> m_interchange;
    std::optional<Open> m_group;
    std::optional<Open> m_transaction;
    std::vector<Loop> m_loops; // open loops, outermost first
    const std::array<std::int8_t, std::size_t(TagClass::count)> *m_ranks = &loopRanks;
    std::vector<std::string> m_transactionSets;
    std::unordered_set<std::string_view> m_seenSets;
    std::optional<std::uint32_t> m_outsideStart; // a run of segments outside any interchange
    std::size_t m_outsideCount = 0;
    std::optional<std::uint32_t> m_strayStart; // a run in a group but outside any transaction set
    std::size_t m_strayCount = 0;
    bool m_anyInterchange = false;
};

/// The delimiters detect() found, and where they come from.
struct Detection
{
    X12Delimiters delimiters;
    std::optional<std::size_t> header; // byte where the first header starts; none when guessed
};

/// The delimiters from the first ISA header, or guessed from the first 4000 characters.
Detection detect(std::string_view text)
{
    // One walk over the first 4000 characters finds which candidates occur there and any "ISA"
    // triple; past them the triple is searched for as bytes and checked to be three whole
    // characters. The first triple decides: any later one has even fewer characters after it.
    IsaHeader header{};
    std::size_t headerFound = 0; // characters of the header collected so far
    std::array<bool, elementCandidates.size()> elementSeen{};
    std::array<bool, terminatorCandidates.size()> terminatorSeen{};
    std::string_view previous[2];
    std::size_t previousBegin[2] = {0, 0};
    std::size_t index = 0;
    std::optional<std::size_t> searchFrom; // byte where the walk handed over to the search
    std::size_t headerAt = 0;

    auto collectHeader = [&](std::size_t begin, std::size_t end) {
        header[headerFound++] = text.substr(begin, end - begin);
        return headerFound < isaLength;
    };
    forEachCharacter(text, [&](std::size_t begin, std::size_t end) {
        if (index == sampleLength && headerFound == 0) {
            // A triple may still start at either of the last two characters walked.
            searchFrom = previousBegin[0];
            return false;
        }
        const std::string_view c = text.substr(begin, end - begin);
        if (index < sampleLength) {
            for (std::size_t k = 0; k < elementCandidates.size(); ++k)
                elementSeen[k] = elementSeen[k] || c == elementCandidates[k];
            for (std::size_t k = 0; k < terminatorCandidates.size(); ++k)
                terminatorSeen[k] = terminatorSeen[k] || c == terminatorCandidates[k];
        }
        ++index;
        if (headerFound > 0)
            return collectHeader(begin, end);
        if (c == "A" && previous[1] == "S" && previous[0] == "I") {
            header[0] = previous[0];
            header[1] = previous[1];
            header[2] = c;
            headerFound = 3;
            headerAt = previousBegin[0];
        }
        previous[0] = previous[1];
        previous[1] = c;
        previousBegin[0] = previousBegin[1];
        previousBegin[1] = begin;
        return true;
    });
    if (searchFrom) {
        for (std::size_t at = text.find("ISA", *searchFrom); at != std::string_view::npos;
             at = text.find("ISA", at + 1)) {
            if (!kelvane::detail::isLoneAsciiCharacter(text, at) ||
                !kelvane::detail::isLoneAsciiCharacter(text, at + 2))
                continue;
            headerFound =
                readHeader(text, at, header, [](const IsaHeader &, std::size_t) { return true; });
            headerAt = at;
            break;
        }
    }

    // A whole header in the fixed layout is read by position. One whose layout is broken is read
    // by its separator when that gives delimiters, and by position as a last resort.
    if (headerFound == isaLength && hasFixedLayout(header))
        return {declaredDelimiters(header), headerAt};
    if (headerFound > 0) {
        SeparatedHeader separated;
        for (std::size_t k = 0; k < headerFound && separated.take(header[k]); ++k) {
        }
        if (std::optional<X12Delimiters> declared = separated.delimiters())
            return {std::move(*declared), headerAt};
    }
    if (headerFound == isaLength)
        return {declaredDelimiters(header), headerAt};

    X12Delimiters delimiters;
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
    return {std::move(delimiters), std::nullopt};
}

// A file hard-wrapped into records, at 80 columns say, is recognised by its first 64 KiB; a
// shorter width is taken for ordinary lines.
constexpr std::size_t recordSample = 1u << 16;
constexpr std::size_t recordMinimum = 40;

/// The width in bytes of the records the text was hard-wrapped into, if it was: every line but
/// the last as long (at least two lines that long, and 40 bytes), a header that declares a
/// terminator other than a line end, and a line break that falls inside a segment, not only
/// after terminators and blanks. Files that end their segments at line breaks are never taken.
std::optional<std::size_t> recordWidth(std::string_view text)
{
    const std::size_t width = text.substr(0, recordSample).find('\n');
    if (width == std::string_view::npos || width < recordMinimum)
        return std::nullopt;
    std::string joined; // the lines looked at, without their breaks
    std::vector<std::size_t> breaks;
    std::size_t records = 0;
    for (std::size_t at = 0; at < recordSample; at = breaks.back() + 1) {
        if (text.size() - at <= width) {
            // The last line: shorter or as long, and at most a line break after it.
            const std::size_t lineBreak = text.find('\n', at);
            if (lineBreak != std::string_view::npos && lineBreak + 1 != text.size())
                return std::nullopt;
            records += text.size() - at == width;
            joined += text.substr(at, lineBreak - at);
            break;
        }
        if (text.substr(at, width + 1).find('\n') != width)
            return std::nullopt;
        joined += text.substr(at, width);
        breaks.push_back(at + width);
        ++records;
    }
    if (records < 2)
        return std::nullopt;
    const Detection found = detect(joined);
    const std::string_view terminator = found.delimiters.segment;
    if (!found.header || terminator == "\n")
        return std::nullopt;
    const bool inside = std::any_of(breaks.begin(), breaks.end(), [&](std::size_t lineBreak) {
        std::size_t end = lineBreak;
        while (end > lineBreak - width && (text[end - 1] == ' ' || text[end - 1] == '\t'))
            --end;
        return end > lineBreak - width && lineBreak + 1 < text.size() &&
               !text.substr(0, end).ends_with(terminator);
    });
    return inside ? std::optional(width) : std::nullopt;
}

/// Removes the line break after every record of `width` bytes, in place, up to the first line
/// that is not as long: that one, the last of a wrapped file, and all after it stay as they are.
void removeRecordBreaks(std::string &text, std::size_t width)
{
    char *data = text.data();
    const std::size_t n = text.size();
    std::size_t read = width;
    std::size_t write = width;
    while (read < n && data[read] == '\n') {
        ++read;
        if (n - read < width || std::memchr(data + read, '\n', width) != nullptr)
            break;
        std::memmove(data + write, data + read, width);
        write += width;
        read += width;
    }
    std::memmove(data + write, data + read, n - read);
    text.resize(write + (n - read));
}

} // namespace

namespace X12Parser {

X12Delimiters detectDelimiters(std::string_view text)
{
    return detect(text).delimiters;
}

X12SegmentList splitSegments(std::string_view text, const X12Delimiters &delimiters)
{
    return split(text, delimiters).first;
}

std::pair<X12Delimiters, X12SegmentList> splitWithBestDelimiters(std::string_view text)
{
    auto [detected, header] = detect(text);
    // The lines before a first header that begins a line, such as a mail service's envelope
    // line, are no part of the interchange: each ends at its line break, whether or not it holds
    // a terminator.
    std::size_t linesEnd = 0;
    if (header && detected.segment != "\n") {
        const std::size_t lineBreak = text.rfind('\n', *header);
        const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
        if (lineBreak != std::string_view::npos &&
            std::all_of(text.begin() + lineBreak + 1, text.begin() + *header, blank))
            linesEnd = lineBreak + 1;
    }
    // Each later interchange is cut with its own header's delimiters, as long as the first
    // header's cut the file; when it did not, the file's headers are not to be trusted, and
    // neither the cut nor the fallback follows them.
    auto [segments, stats] = split(text, detected, header.has_value(), linesEnd);
    if (stats.looksSplit())
        return {std::move(detected), std::move(segments)};
    if (!DocumentBuilder::table(segments).laterDelimiters.empty())
        std::tie(segments, stats) = split(text, detected, false, linesEnd);

    // Candidates are only counted; the winner, if any, is split once more to keep it.
    const std::size_t baseline = stats.count;
    for (std::string_view terminator : fallbackTerminators) {
        if (terminator == detected.segment)
            continue; // gives the same split again, which cannot win
        CandidateStats candidate;
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

X12Tree buildTree(const X12SegmentList &segments)
{
    X12Tree tree;
    TreeWalk(segments, DocumentBuilder::table(tree), DocumentBuilder::table(segments).classes)
        .run();
    return tree;
}

std::expected<std::shared_ptr<const X12Document>, X12ParseError> parse(std::string text,
                                                                       std::string fileName)
{
    assert(text.size() <= TextFile::maxSize);
    normalizeLineEnds(text);
    if (const std::optional<std::size_t> width = recordWidth(text))
        removeRecordBreaks(text, *width);
    if (isBlank(text))
        return std::unexpected(X12ParseError::empty);

    // The document owns the text before anything points into it.
    std::shared_ptr<X12Document> document = DocumentBuilder::makeDocument();
    std::string &owned = DocumentBuilder::text(*document);
    owned = std::move(text);

    auto [delimiters, segments] = splitWithBestDelimiters(owned);
    if (segments.empty())
        return std::unexpected(X12ParseError::noSegments);

    X12Tree tree;
    TreeWalk walk(segments, DocumentBuilder::table(tree),
                  std::move(DocumentBuilder::table(segments).classes));
    walk.run();
    std::vector<std::string> transactionSets = walk.takeTransactionSets();

    DocumentBuilder::finishDocument(*document, std::move(fileName), std::move(delimiters),
                                    std::move(segments), std::move(tree),
                                    std::move(transactionSets));
    return document;
}

} // namespace X12Parser
