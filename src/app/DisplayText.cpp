#include "app/DisplayText.h"

#include "core/text/VisibleText.h"

namespace DisplayText {

QString toQString(std::string_view text)
{
    if (!VisibleText::hasControl(text))
        return exact(text);
    const std::string visible = VisibleText::visible(text);
    return QString::fromUtf8(visible.data(), qsizetype(visible.size()));
}

QString exact(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QString shown(std::string_view text, std::size_t limit)
{
    if (text.size() <= limit)
        return toQString(text);
    std::size_t end = limit;
    // Back up over continuation bytes so no character is cut in half.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0u) == 0x80u)
        --end;
    return toQString(text.substr(0, end)) + QChar(0x2026);
}

} // namespace DisplayText
