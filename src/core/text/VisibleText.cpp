#include "core/text/VisibleText.h"

#include "core/text/Unicode_p.h"

#include <bit>
#include <cstddef>

namespace VisibleText {

std::size_t firstControl(std::string_view text) noexcept
{
    return findControl(text, [](std::size_t) { return true; });
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
