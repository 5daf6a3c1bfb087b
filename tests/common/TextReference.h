#pragma once

// Byte-at-a-time references for what the code finds in blocks: where UTF-8 goes wrong, and where a
// control character starts. Plain std, so the fuzz targets check with the same ones.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace reference {

/// Offset of the first byte that does not start a well-formed UTF-8 sequence (overlong forms,
/// surrogates and code points past U+10FFFF are not), or npos when the whole text is UTF-8.
inline std::size_t firstInvalidUtf8(std::string_view text)
{
    const auto *s = reinterpret_cast<const unsigned char *>(text.data());
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        std::uint32_t code = 0;
        if (c >= 0xC0 && c <= 0xDF) {
            length = 2;
            code = c & 0x1Fu;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            code = c & 0x0Fu;
        } else if (c >= 0xF0 && c <= 0xF7) {
            length = 4;
            code = c & 0x07u;
        } else {
            return i;
        }
        if (text.size() - i < length)
            return i;
        for (std::size_t k = 1; k < length; ++k) {
            if ((s[i + k] & 0xC0u) != 0x80u)
                return i;
            code = code << 6 | (s[i + k] & 0x3Fu);
        }
        static constexpr std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return i;
        i += length;
    }
    return std::string_view::npos;
}

inline bool isUtf8(std::string_view text)
{
    return firstInvalidUtf8(text) == std::string_view::npos;
}

/// Bytes of the control character that starts at `at`: 1 for C0 and DEL, 2 for C1 (U+0080 to
/// U+009F, which is 0xC2 and a byte below 0xA0), 0 for anything else.
inline std::size_t controlAt(std::string_view text, std::size_t at)
{
    const auto c = static_cast<unsigned char>(text[at]);
    if (c < 0x20 || c == 0x7F)
        return 1;
    const bool c1 =
        c == 0xC2 && at + 1 < text.size() && static_cast<unsigned char>(text[at + 1]) < 0xA0;
    return c1 ? 2 : 0;
}

} // namespace reference
