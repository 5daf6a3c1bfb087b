#include "core/VisibleText.h"

#include "core/Unicode_p.h"

#include <bit>
#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace VisibleText {

std::size_t firstControl(std::string_view text) noexcept
{
    const auto *s = reinterpret_cast<const unsigned char *>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
#if defined(__SSE2__)
    // Sixteen bytes at a time; only the bytes that can start a control character are looked at
    // one by one: those below 0x20, 0x7F, and 0xC2, which leads C1 but also "·".
    const __m128i space = _mm_set1_epi8(0x20);
    for (; i + 16 <= n; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + i));
        const __m128i low = _mm_cmpeq_epi8(_mm_max_epu8(bytes, space), space);
        const __m128i special =
            _mm_or_si128(_mm_andnot_si128(_mm_cmpeq_epi8(bytes, space), low),
                         _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(0x7F)),
                                      _mm_cmpeq_epi8(bytes, _mm_set1_epi8(char(0xC2)))));
        for (auto mask = unsigned(_mm_movemask_epi8(special)); mask != 0; mask &= mask - 1) {
            const std::size_t at = i + std::size_t(std::countr_zero(mask));
            if (s[at] != 0xC2 || (at + 1 < n && s[at + 1] < 0xA0))
                return at;
        }
    }
#endif
    for (; i < n; ++i) {
        const unsigned char c = s[i];
        if (c < 0x20 || c == 0x7F)
            return i;
        // C1 is U+0080 to U+009F: 0xC2 followed by 0x80 to 0x9F.
        if (c == 0xC2 && i + 1 < n && s[i + 1] < 0xA0)
            return i;
    }
    return n;
}

bool hasControl(std::string_view text) noexcept
{
    return firstControl(text) != text.size();
}

void append(std::string &out, std::string_view text)
{
    for (;;) {
        const std::size_t at = firstControl(text);
        out.append(text.substr(0, at));
        if (at == text.size())
            return;
        const auto c = static_cast<unsigned char>(text[at]);
        if (c < 0x20) {
            // U+2400 + c in UTF-8: E2 90 80+c.
            out += "\xE2\x90";
            out += char(0x80 + c);
            text.remove_prefix(at + 1);
        } else if (c == 0x7F) {
            out += "\u2421";
            text.remove_prefix(at + 1);
        } else {
            out += "\uFFFD";
            text.remove_prefix(at + 2);
        }
    }
}

std::string visible(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    append(out, text);
    return out;
}

std::string validUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (;;) {
        const std::size_t bad = kelvane::detail::firstInvalidUtf8(bytes);
        if (bad == std::string_view::npos) {
            out.append(bytes);
            return out;
        }
        out.append(bytes.substr(0, bad));
        out += "\uFFFD";
        bytes.remove_prefix(bad + 1);
    }
}

} // namespace VisibleText
