#include "core/text/Unicode_p.h"
#include "core/support/Parallel_p.h"
#include "core/support/Simd_p.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/ucasemap.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>
#include <unicode/utext.h>

namespace kelvane::detail {

namespace {

/// ICU's own character iterator, for the sequences clusterEnd() does not decide itself. One per
/// thread; it is only ever asked for one character at a time.
class IcuCharacters
{
public:
    static IcuCharacters &forThisThread()
    {
        thread_local IcuCharacters characters;
        return characters;
    }

    /// End of the character at the start of the stretch, or 0 when ICU cannot say.
    std::size_t firstEnd(std::string_view stretch)
    {
        if (!m_iterator || stretch.size() > std::size_t(INT32_MAX))
            return 0;
        UErrorCode status = U_ZERO_ERROR;
        utext_openUTF8(&m_text, stretch.data(), std::int64_t(stretch.size()), &status);
        if (U_SUCCESS(status))
            m_iterator->setText(&m_text, status);
        if (U_FAILURE(status))
            return 0;
        const std::int32_t end = m_iterator->following(0);
        return end == icu::BreakIterator::DONE ? 0 : std::size_t(end);
    }

    IcuCharacters(const IcuCharacters &) = delete;
    IcuCharacters &operator=(const IcuCharacters &) = delete;
    ~IcuCharacters() { utext_close(&m_text); }

private:
    IcuCharacters()
    {
        UErrorCode status = U_ZERO_ERROR;
        m_iterator.reset(
            icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status))
            m_iterator.reset();
    }

    std::unique_ptr<icu::BreakIterator> m_iterator;
    UText m_text = UTEXT_INITIALIZER;
};

/// The code point at byte i and its length in bytes; a malformed sequence is one U+FFFD, as long
/// as ICU's own UTF-8 reading makes it.
struct CodePoint
{
    UChar32 value;
    std::size_t length;
};

/// The code point of a well-formed two-byte sequence at byte i, or -1: the most common sequence
/// beyond ASCII, read without ICU's general reading.
[[gnu::always_inline]] inline UChar32 twoByteAt(const std::uint8_t *s, std::size_t n,
                                                std::size_t i) noexcept
{
    if (i + 1 < n && s[i] >= 0xC2 && s[i] <= 0xDF && (s[i + 1] & 0xC0) == 0x80)
        return UChar32(((s[i] & 0x1F) << 6) | (s[i + 1] & 0x3F));
    return -1;
}

[[gnu::always_inline]] inline CodePoint decodeAt(const std::uint8_t *s, std::size_t n,
                                                 std::size_t i) noexcept
{
    if (const UChar32 c = twoByteAt(s, n, i); c >= 0)
        return {c, 2};
    std::int32_t at = 0;
    const auto available = std::int32_t(std::min<std::size_t>(n - i, 4));
    UChar32 c;
    U8_NEXT(s + i, at, available, c);
    return {c < 0 ? 0xFFFD : c, std::size_t(at)};
}

[[gnu::always_inline]] inline UGraphemeClusterBreak breakClass(UChar32 c) noexcept
{
    // Most non-ASCII text in these files is Latin, Greek or Cyrillic: look those up in a table.
    static const auto twoByteClasses = [] {
        std::array<std::uint8_t, 0x800> classes{};
        for (UChar32 k = 0; k < 0x800; ++k)
            classes[std::size_t(k)] =
                std::uint8_t(u_getIntPropertyValue(k, UCHAR_GRAPHEME_CLUSTER_BREAK));
        return classes;
    }();
    if (c < 0x800)
        return UGraphemeClusterBreak(twoByteClasses[std::size_t(c)]);
    return UGraphemeClusterBreak(u_getIntPropertyValue(c, UCHAR_GRAPHEME_CLUSTER_BREAK));
}

bool isPictographic(UChar32 c) noexcept
{
    return u_hasBinaryProperty(c, UCHAR_EXTENDED_PICTOGRAPHIC);
}

bool isControl(UGraphemeClusterBreak k) noexcept
{
    return k == U_GCB_CONTROL || k == U_GCB_CR || k == U_GCB_LF;
}

/// End of the character at byte `at` when a common case settles it: a letter of two bytes followed
/// by ASCII or by another such letter, or an ASCII character other than a control followed by
/// ASCII, or a carriage return (with its line feed). 0 when the full rules must decide.
[[gnu::always_inline]] inline std::size_t commonEnd(const std::uint8_t *s, std::size_t n,
                                                    std::size_t at) noexcept
{
    if (const UChar32 c = twoByteAt(s, n, at); c >= 0 && breakClass(c) == U_GCB_OTHER) {
        const std::size_t q = at + 2;
        if (q == n || s[q] < 0x80)
            return q; // ASCII never joins a letter
        if (const UChar32 d = twoByteAt(s, n, q); d >= 0) {
            const UGraphemeClusterBreak k = breakClass(d);
            if (k != U_GCB_EXTEND && k != U_GCB_ZWJ && k != U_GCB_SPACING_MARK)
                return q;
        }
    }
    // ASCII: a control alone (a carriage return with its line feed), any other character with
    // what follows only when that is not ASCII.
    if (s[at] < 0x80) {
        if (s[at] == '\r')
            return at + 1 < n && s[at + 1] == '\n' ? at + 2 : at + 1;
        if (s[at] < 0x20 || s[at] == 0x7F || at + 1 == n || s[at + 1] < 0x80)
            return at + 1;
    }
    return 0;
}

/// The cluster read so far: its last code point's class and what the emoji and flag rules need to
/// remember.
class ClusterSoFar
{
public:
    explicit ClusterSoFar(UChar32 first) noexcept
        : m_previous(breakClass(first)), m_base(first),
          m_regionalIndicators(m_previous == U_GCB_REGIONAL_INDICATOR ? 1 : 0)
    {
    }

    UGraphemeClusterBreak previous() const noexcept { return m_previous; }

    /// Whether the code point c, of break class k, belongs to the cluster.
    [[gnu::always_inline]] bool joins(UGraphemeClusterBreak k, UChar32 c) const noexcept
    {
        if (isControl(k))
            return false;
        if (k == U_GCB_EXTEND || k == U_GCB_ZWJ || k == U_GCB_SPACING_MARK ||
            m_previous == U_GCB_PREPEND)
            return true;
        switch (m_previous) {
        case U_GCB_L:
            return k == U_GCB_L || k == U_GCB_V || k == U_GCB_LV || k == U_GCB_LVT;
        case U_GCB_LV:
        case U_GCB_V:
            return k == U_GCB_V || k == U_GCB_T;
        case U_GCB_LVT:
        case U_GCB_T:
            return k == U_GCB_T;
        case U_GCB_ZWJ:
            return m_zwjAfterBase && isPictographic(c) && isPictographic(m_base);
        case U_GCB_REGIONAL_INDICATOR:
            return k == U_GCB_REGIONAL_INDICATOR && m_regionalIndicators % 2 == 1;
        default:
            return false;
        }
    }

    /// Takes in the code point c, of break class k, which joins().
    [[gnu::always_inline]] void add(UGraphemeClusterBreak k, UChar32 c) noexcept
    {
        if (k == U_GCB_EXTEND) {
            m_zwjAfterBase = false;
        } else if (k == U_GCB_ZWJ) {
            m_zwjAfterBase = m_onlyExtendSinceBase;
            m_onlyExtendSinceBase = false;
        } else {
            m_base = c;
            m_onlyExtendSinceBase = true;
            m_zwjAfterBase = false;
        }
        m_regionalIndicators = k == U_GCB_REGIONAL_INDICATOR ? m_regionalIndicators + 1 : 0;
        m_previous = k;
    }

private:
    UGraphemeClusterBreak m_previous;
    UChar32 m_base; // the last code point that was neither Extend nor ZWJ
    std::size_t m_regionalIndicators;
    bool m_onlyExtendSinceBase = true;
    bool m_zwjAfterBase = false; // the last code point is a ZWJ right after base and Extends
};

} // namespace

std::size_t clusterEnd(std::string_view text, std::size_t at)
{
    const auto *s = reinterpret_cast<const std::uint8_t *>(text.data());
    const std::size_t n = text.size();
    if (const std::size_t end = commonEnd(s, n, at); end > 0)
        return end;

    const CodePoint first = decodeAt(s, n, at);
    ClusterSoFar cluster(first.value);
    std::size_t q = at + first.length;
    if (cluster.previous() == U_GCB_CR)
        return q < n && s[q] == '\n' ? q + 1 : q;
    if (isControl(cluster.previous()))
        return q;

    while (q < n) {
        // An ASCII character is neither a mark nor a joiner, so only a Prepend joins it.
        if (s[q] < 0x80 && cluster.previous() != U_GCB_PREPEND)
            return q;
        const CodePoint next = decodeAt(s, n, q);
        const UGraphemeClusterBreak k = breakClass(next.value);
        if (cluster.joins(k, next.value)) {
            cluster.add(k, next.value);
            q += next.length;
            continue;
        }
        // ICU also keeps Indic conjuncts (a consonant, a virama, a consonant) together, by
        // properties this code does not read: let ICU decide around Indic letters.
        if ((cluster.previous() == U_GCB_EXTEND || cluster.previous() == U_GCB_ZWJ) &&
            next.value >= 0x0900 && next.value <= 0x0DFF) {
            const std::size_t end = IcuCharacters::forThisThread().firstEnd(text.substr(at));
            if (end > 0)
                return at + end;
        }
        return q;
    }
    return q;
}

char32_t firstCodePoint(std::string_view text) noexcept
{
    if (text.empty())
        return 0;
    const auto *s = reinterpret_cast<const std::uint8_t *>(text.data());
    std::int32_t i = 0;
    UChar32 c;
    U8_NEXT(s, i, std::int32_t(std::min<std::size_t>(text.size(), 4)), c);
    return c < 0 ? U'\uFFFD' : char32_t(c);
}

bool isLoneAsciiCharacter(std::string_view text, std::size_t at)
{
    const auto *s = reinterpret_cast<const std::uint8_t *>(text.data());
    if (at >= text.size() || s[at] >= 0x80)
        return false;
    if (at > 0) {
        // Only a prepended mark, or CR before LF, joins the character before to an ASCII one.
        std::size_t start = at - 1;
        while (start > 0 && at - start < 4 && (s[start] & 0xC0) == 0x80)
            --start;
        const CodePoint found = decodeAt(s, text.size(), start);
        // Bytes left over before `at` are a malformed sequence, read as U+FFFD.
        const UChar32 before = start + found.length == at ? found.value : 0xFFFD;
        if (breakClass(before) == U_GCB_PREPEND || (before == '\r' && s[at] == '\n'))
            return false;
    }
    return clusterEnd(text, at) == at + 1;
}

bool isWhiteSpace(std::string_view character) noexcept
{
    if (character.empty())
        return false;
    const auto c = static_cast<unsigned char>(character.front());
    if (c < 0x80)
        return isAsciiWhiteSpace(c);
    // Of the two-byte code points only NEL and the no-break space are white space.
    if (c == 0xC2 && character.size() >= 2)
        return static_cast<unsigned char>(character[1]) == 0x85 ||
               static_cast<unsigned char>(character[1]) == 0xA0;
    if (c < 0xE0)
        return false;
    return u_isUWhiteSpace(UChar32(firstCodePoint(character)));
}

bool isLetterOrNumber(std::string_view character) noexcept
{
    const auto c = UChar32(firstCodePoint(character));
    return u_isUAlphabetic(c) || u_getIntPropertyValue(c, UCHAR_NUMERIC_TYPE) != U_NT_NONE;
}

std::string_view trimBlanks(std::string_view text)
{
    auto isBlank = [](std::string_view at) {
        const auto c = UChar32(firstCodePoint(at));
        return c == '\t' || u_charType(c) == U_SPACE_SEPARATOR;
    };
    auto isContinuation = [&text](std::size_t i) {
        return (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;
    };
    std::size_t begin = 0;
    while (begin < text.size() && isBlank(text.substr(begin))) {
        ++begin;
        while (begin < text.size() && isContinuation(begin))
            ++begin;
    }
    std::size_t end = text.size();
    while (end > begin) {
        std::size_t start = end - 1;
        while (start > begin && isContinuation(start))
            --start;
        if (!isBlank(text.substr(start, end - start)))
            break;
        end = start;
    }
    return text.substr(begin, end - begin);
}

bool isAsciiUpper(std::string_view text) noexcept
{
    // Eight bytes at a time: for a byte below 0x80, adding 0x1F sets its top bit from 'a' on,
    // and adding 0x05 from '{' on; no sum carries into the next byte.
    constexpr std::uint64_t ones = 0x0101010101010101ull;
    constexpr std::uint64_t tops = 0x8080808080808080ull;
    while (text.size() >= 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data(), 8);
        if ((word & tops) != 0 || ((word + 0x1F * ones) & ~(word + 0x05 * ones) & tops) != 0)
            return false;
        text.remove_prefix(8);
    }
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x80 || (c >= 'a' && c <= 'z'))
            return false;
    }
    return true;
}

namespace {

/// Whether a character's full upper case may differ from its simple one (\u00DF gives "SS"): the
/// blocks that hold the unconditional special casings, taken generously.
bool mayUpperCaseSpecially(UChar32 c) noexcept
{
    return c == 0xDF || c == 0x149 || c == 0x1F0 || c == 0x390 || c == 0x3B0 || c == 0x587 ||
           (c >= 0x1E96 && c <= 0x1E9A) || (c >= 0x1F50 && c <= 0x1FFF) ||
           (c >= 0xFB00 && c <= 0xFB17);
}

/// The simple upper cases of the code points of two bytes, or 0xFFFF where it takes three bytes
/// or the full mapping may differ.
const std::array<std::uint16_t, 0x800> &twoByteUpperCases()
{
    static const auto upperCases = [] {
        std::array<std::uint16_t, 0x800> cases{};
        for (UChar32 c = 0; c < 0x800; ++c) {
            const UChar32 upper = u_toupper(c);
            cases[std::size_t(c)] =
                upper < 0x800 && !mayUpperCaseSpecially(c) ? std::uint16_t(upper) : 0xFFFF;
        }
        return cases;
    }();
    return upperCases;
}

/// One character upper-cased by ICU's full mapping into `out`, which has room for 16 bytes (no
/// character maps to more than three of four bytes each); its size.
std::size_t fullUpper(const char *character, std::size_t size, char *out)
{
    UErrorCode status = U_ZERO_ERROR;
    static thread_local std::unique_ptr<UCaseMap, decltype(&ucasemap_close)> caseMap(
        ucasemap_open("", 0, &status), &ucasemap_close);
    if (caseMap) {
        status = U_ZERO_ERROR;
        const std::int32_t length =
            ucasemap_utf8ToUpper(caseMap.get(), out, 16, character, std::int32_t(size), &status);
        if (U_SUCCESS(status))
            return std::size_t(length);
    }
    std::string mapped;
    icu::UnicodeString::fromUTF8(icu::StringPiece(character, std::int32_t(size)))
        .toUpper(icu::Locale::getRoot())
        .toUTF8String(mapped);
    mapped.resize(std::min<std::size_t>(mapped.size(), 16));
    std::memcpy(out, mapped.data(), mapped.size());
    return mapped.size();
}

} // namespace

std::string toUpper(std::string_view text)
{
    // Upper-casing in the root locale maps each character on its own, whatever surrounds it: a
    // character at a time, by ICU's simple mapping but where the full one may differ. A tag can
    // be a whole file, with a mark after every letter.
    const auto *s = reinterpret_cast<const std::uint8_t *>(text.data());
    const std::size_t n = text.size();
    // Room for the rest of the text as it is, always: a character made longer makes its own.
    std::string result(n, '\0');
    char *out = result.data();
    std::size_t i = 0;
    while (i < n) {
        if (s[i] < 0x80) {
            *out++ = char(s[i] >= 'a' && s[i] <= 'z' ? s[i] - 'a' + 'A' : s[i]);
            ++i;
            continue;
        }
        // Two bytes, the most common sequence beyond ASCII: their upper cases are looked up.
        if (const UChar32 c = twoByteAt(s, n, i); c >= 0) {
            const std::uint16_t upper = twoByteUpperCases()[std::size_t(c)];
            if (upper < 0x80) {
                *out++ = char(upper);
                i += 2;
                continue;
            }
            if (upper < 0x800) {
                *out++ = char(0xC0 | (upper >> 6));
                *out++ = char(0x80 | (upper & 0x3F));
                i += 2;
                continue;
            }
        }
        const std::size_t start = i;
        std::int32_t length = 0;
        UChar32 c;
        U8_NEXT(s + start, length, std::int32_t(std::min<std::size_t>(n - start, 4)), c);
        i = start + std::size_t(length);
        const UChar32 upper = c < 0 ? c : u_toupper(c);
        if (upper == c && (c < 0 || !mayUpperCaseSpecially(c))) {
            // Unchanged, or not UTF-8, which stays as it is too, as ICU leaves it.
            for (std::size_t k = start; k < i; ++k)
                *out++ = char(s[k]);
            continue;
        }
        char mapped[16];
        std::size_t size = 0;
        if (mayUpperCaseSpecially(c)) {
            size = fullUpper(text.data() + start, i - start, mapped);
        } else {
            auto *bytes = reinterpret_cast<std::uint8_t *>(mapped);
            std::int32_t written = 0;
            U8_APPEND_UNSAFE(bytes, written, static_cast<std::uint32_t>(upper));
            size = std::size_t(written);
        }
        if (const auto used = std::size_t(out - result.data());
            result.size() - used < (n - i) + size) {
            result.resize(std::max(result.size() + result.size() / 2, used + (n - i) + size));
            out = result.data() + used;
        }
        for (std::size_t k = 0; k < size; ++k)
            *out++ = mapped[k];
    }
    result.resize(std::size_t(out - result.data()));
    return result;
}

std::size_t firstInvalidUtf8(std::string_view text) noexcept
{
    const auto *s = reinterpret_cast<const unsigned char *>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        // 64 and then eight ASCII bytes at a time: most X12 text never leaves these loops.
        if (i + 64 <= n) {
            using V = kelvane::simd::Native;
            const V::Bytes any = V::either(V::either(V::load(s + i), V::load(s + i + 16)),
                                           V::either(V::load(s + i + 32), V::load(s + i + 48)));
            if (V::topBits(any) == 0) {
                i += 64;
                continue;
            }
        }
        if (i + 8 <= n) {
            std::uint64_t word;
            std::memcpy(&word, s + i, 8);
            if ((word & 0x8080808080808080ull) == 0) {
                i += 8;
                continue;
            }
        }
        const unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t length;
        unsigned char low = 0x80, high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            if (c == 0xE0)
                low = 0xA0;
            else if (c == 0xED)
                high = 0x9F; // no surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            if (c == 0xF0)
                low = 0x90;
            else if (c == 0xF4)
                high = 0x8F; // nothing above U+10FFFF
        } else {
            return i;
        }
        if (i + length > n)
            return i;
        if (s[i + 1] < low || s[i + 1] > high)
            return i;
        for (std::size_t k = 2; k < length; ++k) {
            if (s[i + k] < 0x80 || s[i + k] > 0xBF)
                return i;
        }
        i += length;
    }
    return std::string_view::npos;
}

std::size_t firstInvalidUtf8InHalves(std::string_view text)
{
    if (text.size() < halvesMinimum || !hasSecondCore())
        return firstInvalidUtf8(text);
    // The second half starts at the first byte near the middle that no character continues:
    // no valid character crosses there, so each half checked on its own finds what the whole
    // text would. Four continuation bytes in a row belong to no valid character, so past them
    // the first half holds a fault already.
    const auto *s = reinterpret_cast<const unsigned char *>(text.data());
    std::size_t cut = text.size() / 2;
    for (const std::size_t stop = cut + 4; cut < stop && (s[cut] & 0xC0) == 0x80;)
        ++cut;
    std::array<std::size_t, 2> found{};
    runParts(2, [&](std::size_t k) {
        found[k] = firstInvalidUtf8(k == 0 ? text.substr(0, cut) : text.substr(cut));
    });
    if (found[0] != std::string_view::npos || found[1] == std::string_view::npos)
        return found[0];
    return cut + found[1];
}

} // namespace kelvane::detail
