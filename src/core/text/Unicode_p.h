#pragma once

// Character-level helpers for the parser. A "character" is an extended grapheme cluster of UTF-8
// text; offsets and lengths the parser reports count these, not bytes.

#include <cstddef>
#include <string>
#include <string_view>

namespace kelvane::detail {

/// Where the character that starts at byte `at` of the text ends. `at` must be the start of a
/// character. The grapheme cluster rules are applied here, code point by code point, with ICU's
/// character properties; ICU's own iterator is asked only about the few sequences whose rules
/// this ICU version may tailor. Every byte is therefore looked at a bounded number of times,
/// however densely the text mixes scripts, marks and emoji.
std::size_t clusterEnd(std::string_view text, std::size_t at);

/// Whether the ASCII byte at `at` is a whole character by itself: nothing before it joins it and
/// nothing after it joins it. Lets a search for ASCII text skip the text around it.
bool isLoneAsciiCharacter(std::string_view text, std::size_t at);

/// Calls f(begin, end) for every character of text in order, with byte offsets; stops early when f
/// returns false. ASCII pairs take the fast path; anything else goes through clusterEnd().
template <typename F>
void forEachCharacter(std::string_view text, F &&f)
{
    const auto *s = reinterpret_cast<const unsigned char *>(text.data());
    const std::size_t n = text.size();
    std::size_t p = 0;
    while (p < n) {
        std::size_t e;
        if (s[p] < 0x80 && (p + 1 == n || s[p + 1] < 0x80))
            e = (s[p] == '\r' && p + 1 < n && s[p + 1] == '\n') ? p + 2 : p + 1;
        else
            e = clusterEnd(text, p);
        if (!f(p, e))
            return;
        p = e;
    }
}

/// How many characters the text holds.
inline std::size_t characterCount(std::string_view text)
{
    std::size_t count = 0;
    forEachCharacter(text, [&count](std::size_t, std::size_t) {
        ++count;
        return true;
    });
    return count;
}

/// First code point of a UTF-8 text; U+FFFD for a malformed start, 0 for the empty text.
char32_t firstCodePoint(std::string_view text) noexcept;

/// Unicode White_Space of the character's first code point. This set also equals the trimming set
/// of white space and newlines (tab, U+000A to U+000D, U+0085, Zs, Zl, Zp).
bool isWhiteSpace(std::string_view character) noexcept;

/// An ASCII capital in lower case; any other byte as it is.
constexpr char asciiLower(char c) noexcept
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

inline bool isAsciiWhiteSpace(unsigned char c) noexcept
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

/// A letter (Alphabetic) or a number (any Unicode numeric type) by its first code point.
bool isLetterOrNumber(std::string_view character) noexcept;

/// The text without leading and trailing blanks and tabs (space separators); line breaks stay.
std::string_view trimBlanks(std::string_view text);

/// Full Unicode upper-case mapping in the root locale, so results never depend on the user's
/// locale.
std::string toUpper(std::string_view text);

/// True when the text is all ASCII and has no lower-case letter, so toUpper would return it as is.
bool isAsciiUpper(std::string_view text) noexcept;

/// Strict UTF-8 check: no overlong forms, surrogates or code points above U+10FFFF. Returns the
/// offset of the first bad byte, or npos when the text is valid.
std::size_t firstInvalidUtf8(std::string_view text) noexcept;

/// The same answer as firstInvalidUtf8(), for a large text from its two halves checked at once.
std::size_t firstInvalidUtf8InHalves(std::string_view text);

} // namespace kelvane::detail
