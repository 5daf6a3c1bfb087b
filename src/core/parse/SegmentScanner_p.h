#pragma once

// The hot path of a parse: cutting the text into segments and noting their element separators.

#include "core/parse/IsaHeader_p.h"
#include "core/support/Simd_p.h"
#include "core/text/Unicode_p.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

namespace kelvane::detail {

/// Where a scan starts or stopped: a byte offset and the characters before it.
struct ScanPoint
{
    std::size_t byte = 0;
    std::size_t index = 0;
};

/// Whether the character of `size` bytes at `at` is the delimiter.
inline bool sameCharacter(const char *at, std::size_t size, std::string_view delimiter) noexcept
{
    if (size != delimiter.size())
        return false;
    if (size == 1)
        return *at == delimiter.front();
    return std::memcmp(at, delimiter.data(), size) == 0;
}

/// Whether the character of `size` bytes at `at` is white space.
inline bool isCharacterWhiteSpace(const char *at, std::size_t size) noexcept
{
    const auto c = static_cast<unsigned char>(*at);
    if (size == 1 || c < 0x80)
        return isAsciiWhiteSpace(c);
    return isWhiteSpace(std::string_view(at, size));
}

/// Bit i is set when byte i of the 16 at `data` is the terminator, the separator, a carriage
/// return or outside ASCII: the only bytes the fast path has to look at one by one.
inline std::uint32_t interestingBytes(const char *data, char terminator, char separator) noexcept
{
    using V = simd::Native;
    const V::Bytes bytes = V::load(data);
    // Bytes from 0x80 have their top bit set already.
    return V::topBits(V::either(
        simd::equalsAny<V>(bytes, std::uint8_t(terminator), std::uint8_t(separator), '\r'), bytes));
}

/// A sink that counts segments and the longest one, without keeping anything.
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

/// Cuts text into segments and gives each to the sink, which builds them or only counts them.
/// With one-byte ASCII delimiters, plain ASCII segments take a fast path that looks only at the
/// delimiter bytes; every other segment is walked character by character. A sink that only
/// weighs a candidate terminator stops the scan at the first segment too long to look like X12
/// (Sink::stopsAtLongSegment), so a text that is not cut by it costs a few thousand characters.
/// A sink that watches headers (Sink::watchesHeaders) is asked about every segment after the
/// first whose text begins with "ISA"; where it answers that the text from there is cut with other
/// delimiters, the scan ends before that segment and says where it begins.
template <typename Sink>
class SegmentScanner
{
public:
    SegmentScanner(std::string_view text, std::string_view elementSeparator,
                   std::string_view terminator, Sink &sink, ScanPoint from)
        : m_text(text), m_s(text.data()), m_n(text.size()), m_separator(elementSeparator),
          m_terminator(terminator), m_sink(sink), m_from(from.byte), m_index(from.index),
          m_p(from.byte), m_checkFrom(from.byte), m_checkAt(from.byte + sampleLength)
    {
    }

    /// Scans to the end of the text; where a header the rest is cut by begins, if one does.
    std::optional<ScanPoint> run()
    {
        if (cutsByBytes()) {
            scanPlain();
        } else {
            while (m_p < m_n && !m_restart)
                walkSegment();
        }
        return m_restart;
    }

private:
    /// Whether the delimiters can be found byte by byte: each one byte of ASCII other than CR,
    /// not the same, and a separator that is no blank.
    bool cutsByBytes() const noexcept
    {
        const auto plain = [](std::string_view d) {
            return d.size() == 1 && static_cast<unsigned char>(d.front()) < 0x80 &&
                   d.front() != '\r';
        };
        return plain(m_terminator) && plain(m_separator) && m_terminator != m_separator &&
               !isAsciiWhiteSpace(static_cast<unsigned char>(m_separator.front()));
    }

    /// Ends the scan at a segment too long to look like X12.
    void stop()
    {
        m_sink.longSegment();
        m_p = m_n;
    }

    /// Whether the segment whose text begins at byte `at` (character `atIndex`) starts a header
    /// that the rest of the text is cut by; `m_restart` then says where.
    bool switchesAt([[maybe_unused]] std::size_t at, [[maybe_unused]] std::size_t atIndex)
    {
        if constexpr (Sink::watchesHeaders) {
            if (at != m_from && m_n - at >= 3 && std::memcmp(m_s + at, "ISA", 3) == 0 &&
                m_sink.switchesAt(at)) {
                m_restart = ScanPoint{at, atIndex};
                return true;
            }
        }
        return false;
    }

    /// One segment character by character, up to and including its terminator, or to the end.
    void walkSegment()
    {
        bool hasContent = false;     // the segment holds a character other than white space
        std::size_t startByte = 0;   // its first non-blank character
        std::size_t startIndex = 0;  // ... counted in characters
        std::size_t contentEnd = 0;  // byte just after its last non-blank character
        std::size_t contentLast = 0; // index of that last non-blank character
        std::size_t next = m_n;
        bool tooLong = false;
        forEachCharacter(m_text.substr(m_p), [&](std::size_t begin, std::size_t end) {
            begin += m_p;
            end += m_p;
            const std::size_t size = end - begin;
            if (sameCharacter(m_s + begin, size, m_terminator)) {
                next = end;
                return false;
            }
            // A byte-order mark starting a segment is where two files were joined, each with
            // its own mark: it belongs to no tag.
            const bool byteOrderMark =
                !hasContent && size == 3 && std::memcmp(m_s + begin, "\xEF\xBB\xBF", 3) == 0;
            if (!isCharacterWhiteSpace(m_s + begin, size) && !byteOrderMark) {
                if (!hasContent) {
                    if (switchesAt(begin, m_index))
                        return false;
                    hasContent = true;
                    startByte = begin;
                    startIndex = m_index;
                }
                contentEnd = end;
                contentLast = m_index;
                if constexpr (Sink::stopsAtLongSegment) {
                    if (contentLast - startIndex + 1 >= sampleLength) {
                        tooLong = true;
                        return false;
                    }
                }
                if (sameCharacter(m_s + begin, size, m_separator))
                    m_sink.separator(begin);
            } else if (hasContent && sameCharacter(m_s + begin, size, m_separator)) {
                // A blank separator counts inside the segment; trailing ones are dropped later.
                m_sink.separator(begin);
            }
            ++m_index;
            return true;
        });
        if (tooLong) {
            stop();
            return;
        }
        if (m_restart) {
            m_sink.discard();
            return;
        }
        if (hasContent)
            m_sink.segment(startByte, contentEnd, startIndex, contentLast - startIndex + 1);
        else
            m_sink.discard();
        if (next < m_n)
            ++m_index; // the terminator
        m_p = next;
    }

    /// The fast path, for delimiters that cutsByBytes(). Every byte of plain ASCII is one
    /// character, and the separator is never blank, so every separator lies between the
    /// segment's first and last non-blank bytes.
    void scanPlain()
    {
        const char term = m_terminator.front();
        const char sep = m_separator.front();
        // Held here, as the sink's stores could otherwise change the member for all the compiler
        // knows, and it would be read again for every byte looked at.
        Sink &sink = m_sink;
        std::size_t i = m_p; // next byte to scan
        while (i < m_n) {
            if constexpr (Sink::stopsAtLongSegment) {
                if (plainSegmentTooLong(i)) {
                    stop();
                    return;
                }
            }
            std::uint32_t mask = interestingBytesAt(i, term, sep);
            std::size_t resume = i + 16;
            while (mask != 0) {
                const std::size_t at = i + std::size_t(std::countr_zero(mask));
                mask &= mask - 1;
                const char c = m_s[at];
                if (c == sep) {
                    sink.separator(at);
                    continue;
                }
                // A terminator followed by a non-ASCII byte may combine with it into one
                // character.
                if (c == term &&
                    !(at + 1 < m_n && static_cast<unsigned char>(m_s[at + 1]) >= 0x80)) {
                    if (endPlainSegment(at))
                        return;
                    continue;
                }
                // Not plain ASCII: this segment goes character by character.
                m_sink.discard();
                walkSegment();
                if (m_restart || nextSwitches())
                    return;
                resume = m_p;
                break;
            }
            i = resume;
        }
        if (m_p < m_n)
            finishPlain(m_n); // the text after the last terminator, all plain ASCII
    }

    /// interestingBytes() of the 16 bytes from `i`, or of those left before the end.
    [[gnu::always_inline]] std::uint32_t interestingBytesAt(std::size_t i, char term,
                                                            char sep) const noexcept
    {
        if (i + 16 <= m_n)
            return interestingBytes(m_s + i, term, sep);
        char tail[16] = {};
        std::memcpy(tail, m_s + i, m_n - i);
        return interestingBytes(tail, term, sep) & ((std::uint32_t(1) << (m_n - i)) - 1);
    }

    /// Ends the plain ASCII segment at its terminator, byte `at`; whether the scan ends there.
    [[gnu::always_inline]] bool endPlainSegment(std::size_t at)
    {
        finishPlain(at);
        m_index += at + 1 - m_p;
        m_p = at + 1;
        if constexpr (Sink::stopsAtLongSegment) {
            if (m_sink.longest >= sampleLength) {
                stop();
                return true;
            }
        }
        return nextSwitches();
    }

    /// Ends the plain ASCII segment that runs from m_p to `end`: trims it and hands it to the
    /// sink.
    [[gnu::always_inline]] void finishPlain(std::size_t end)
    {
        std::size_t a = m_p;
        while (a < end && isAsciiWhiteSpace(static_cast<unsigned char>(m_s[a])))
            ++a;
        if (a == end) {
            m_sink.discard();
            return;
        }
        std::size_t b = end;
        while (isAsciiWhiteSpace(static_cast<unsigned char>(m_s[b - 1])))
            --b;
        m_sink.segment(a, b, m_index + (a - m_p), b - a);
    }

    /// Whether the plain ASCII segment from m_p, scanned up to `i`, already holds too many
    /// characters. Asked at doubling distances from m_p, so a long segment is looked at
    /// O(length) times in all.
    bool plainSegmentTooLong(std::size_t i)
    {
        if (m_checkFrom != m_p) {
            m_checkFrom = m_p;
            m_checkAt = m_p + sampleLength;
        }
        if (i < m_checkAt)
            return false;
        m_checkAt = m_p + 2 * (i - m_p);
        std::size_t a = m_p;
        while (a < i && isAsciiWhiteSpace(static_cast<unsigned char>(m_s[a])))
            ++a;
        std::size_t b = i;
        while (b > a && isAsciiWhiteSpace(static_cast<unsigned char>(m_s[b - 1])))
            --b;
        return b - a >= sampleLength;
    }

    /// Whether the segment that starts at m_p starts a header to cut by. Only one whose text
    /// begins with "I" after plain blanks is looked at closer: the rest cost a compare or two.
    [[gnu::always_inline]] bool nextSwitches()
    {
        if constexpr (Sink::watchesHeaders) {
            std::size_t q = m_p;
            while (q < m_n && isAsciiWhiteSpace(static_cast<unsigned char>(m_s[q])))
                ++q;
            return q < m_n && m_s[q] == 'I' && switchesAt(q, m_index + (q - m_p));
        }
        return false;
    }

    const std::string_view m_text;
    const char *const m_s; // the text's bytes
    const std::size_t m_n; // and how many
    const std::string_view m_separator;
    const std::string_view m_terminator;
    Sink &m_sink;
    const std::size_t m_from; // where the scan started: no header there is looked at
    std::size_t m_index;      // characters before the current segment
    std::size_t m_p;          // start of the current segment's text
    std::optional<ScanPoint> m_restart;
    // Where plainSegmentTooLong() last began counting, and where it looks next.
    std::size_t m_checkFrom;
    std::size_t m_checkAt;
};

/// Scans the text from `from` into the sink (see SegmentScanner).
template <typename Sink>
std::optional<ScanPoint> scanSegments(std::string_view text, std::string_view elementSeparator,
                                      std::string_view terminator, Sink &sink, ScanPoint from = {})
{
    return SegmentScanner<Sink>(text, elementSeparator, terminator, sink, from).run();
}

} // namespace kelvane::detail
