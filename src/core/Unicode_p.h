#pragma once

// Character-level helpers for the parser. A "character" is an extended grapheme cluster of UTF-8
// text; offsets and lengths the parser reports count these, not bytes.

#include <cstddef>
#include <string>
#include <string_view>

namespace kelvane::detail {

/// A cluster boundary is certain, whatever comes before or after, where the bytes on both sides
/// are ASCII and are not CR followed by LF.
inline bool isSureBoundary(const unsigned char *s, std::size_t n, std::size_t at) noexcept
{
    return at > 0 && at < n && s[at - 1] < 0x80 && s[at] < 0x80 &&
           !(s[at - 1] == '\r' && s[at] == '\n');
}

/// Cluster boundaries of one stretch of non-ASCII text, from ICU. One breaker per thread.
class ClusterBreaker
{
public:
    static ClusterBreaker &forThisThread();

    /// Starts on a new stretch of text, which must begin on a cluster boundary. Costs nothing up
    /// front: clusters are found as next() asks for them.
    void reset(std::string_view stretch);
    /// End (relative to the stretch) of the next cluster, or npos after the last one.
    std::size_t next();

    ClusterBreaker(const ClusterBreaker &) = delete;
    ClusterBreaker &operator=(const ClusterBreaker &) = delete;
    ~ClusterBreaker();

private:
    ClusterBreaker();
    struct Impl;
    Impl *d;
};

/// Calls f(begin, end) for every character of text in order, with byte offsets; stops early when f
/// returns false. ASCII pairs take the fast path; anything else goes through ICU, which hands back
/// at the next certain boundary, so every byte is looked at a bounded number of times.
template <typename F>
void forEachCharacter(std::string_view text, F &&f)
{
    const auto *s = reinterpret_cast<const unsigned char *>(text.data());
    const std::size_t n = text.size();
    std::size_t p = 0;
    while (p < n) {
        if (s[p] < 0x80 && (p + 1 == n || s[p + 1] < 0x80)) {
            const std::size_t e = (s[p] == '\r' && p + 1 < n && s[p + 1] == '\n') ? p + 2 : p + 1;
            if (!f(p, e))
                return;
            p = e;
            continue;
        }
        ClusterBreaker &breaker = ClusterBreaker::forThisThread();
        breaker.reset(text.substr(p));
        const std::size_t base = p;
        for (std::size_t e = breaker.next(); e != std::string_view::npos; e = breaker.next()) {
            if (!f(p, base + e))
                return;
            p = base + e;
            if (isSureBoundary(s, n, p))
                break;
        }
        if (p == base) {
            // ICU found no boundary at all; take the rest as one character rather than spin.
            f(p, n);
            return;
        }
    }
}

/// First code point of a UTF-8 text; U+FFFD for a malformed start, 0 for the empty text.
char32_t firstCodePoint(std::string_view text) noexcept;

/// Unicode White_Space of the character's first code point. This set also equals the trimming set
/// of white space and newlines (tab, U+000A to U+000D, U+0085, Zs, Zl, Zp).
bool isWhiteSpace(std::string_view character) noexcept;

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

} // namespace kelvane::detail
