#pragma once

#include "core/support/Simd_p.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

/// Text as it may be printed or drawn. A value can hold any character; printed raw, a line feed
/// would forge an output line and an escape would drive the terminal. Control characters are
/// therefore shown as visible symbols: C0 as U+2400 to U+241F (NUL as ␀, LF as ␊, ESC as ␛), DEL
/// as U+2421 (␡), and C1 (U+0080 to U+009F, which the Control Pictures block has no symbols for)
/// as U+FFFD. The document keeps the raw bytes; only what is shown changes.
namespace VisibleText {

/// True when the text holds a character that append() would replace.
bool hasControl(std::string_view text) noexcept;

/// Offset of the first byte of the first such character, or the text's size.
std::size_t firstControl(std::string_view text) noexcept;

/// Offers the offset of each control character's first byte to `stop`, in order, until it
/// returns true; gives that offset, or the text's size. Inline, for texts whose controls are many
/// and expected (a line break after every segment).
template <class Stop>
std::size_t findControl(std::string_view text, Stop stop)
{
    const auto *s = reinterpret_cast<const unsigned char *>(text.data());
    const std::size_t n = text.size();
    // C1 is U+0080 to U+009F: 0xC2 followed by 0x80 to 0x9F.
    auto isControlAt = [s, n](std::size_t i) {
        return s[i] < 0x20 || s[i] == 0x7F || (s[i] == 0xC2 && i + 1 < n && s[i + 1] < 0xA0);
    };
    std::size_t i = 0;
    // Sixteen bytes at a time; only the bytes that can start a control character are looked at
    // one by one: those below 0x20, 0x7F, and 0xC2, which leads C1 but also "\u00B7".
    using V = kelvane::simd::Native;
    for (; i + kelvane::simd::width <= n; i += kelvane::simd::width) {
        const V::Bytes bytes = V::load(s + i);
        const V::Bytes special = V::either(kelvane::simd::below<V>(bytes, 0x20),
                                           kelvane::simd::equalsAny<V>(bytes, 0x7F, 0xC2));
        for (std::uint32_t mask = V::topBits(special); mask != 0; mask &= mask - 1) {
            const std::size_t at = i + std::size_t(std::countr_zero(mask));
            if (isControlAt(at) && stop(at))
                return at;
        }
    }
    for (; i < n; ++i) {
        if (isControlAt(i) && stop(i))
            return i;
    }
    return n;
}

/// Appends UTF-8 text with its control characters replaced by their symbols.
void append(std::string &out, std::string_view text);

/// The text with its control characters replaced by their symbols.
std::string visible(std::string_view text);

/// The longest start of `text` of at most `limit` bytes that ends between characters of UTF-8
/// (before a byte that continues one): the text itself when it is no longer.
constexpr std::string_view cut(std::string_view text, std::size_t limit) noexcept
{
    if (text.size() <= limit)
        return text;
    std::size_t size = limit;
    while (size > 0 && (static_cast<unsigned char>(text[size]) & 0xC0) == 0x80)
        --size;
    return text.substr(0, size);
}

/// The bytes with every one that is not part of valid UTF-8 replaced by U+FFFD, for names that
/// come from the file system, which may be any bytes.
std::string validUtf8(std::string_view bytes);

} // namespace VisibleText
