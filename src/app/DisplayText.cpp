#include "app/DisplayText.h"

#include "core/text/VisibleText.h"

#include <cstdio>

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
    return toQString(VisibleText::cut(text, limit)) + QChar(0x2026);
}

QString delimiter(std::string_view delimiter)
{
    if (delimiter == "\n")
        return QStringLiteral("\\n (newline)");
    if (delimiter == "\r")
        return QStringLiteral("\\r");
    const QString text = exact(delimiter);
    if (text.isEmpty() || text.front().unicode() >= 32)
        return text;
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", unsigned(text.front().unicode()));
    return QString::fromLatin1(hex);
}

} // namespace DisplayText
