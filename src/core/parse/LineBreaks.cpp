#include "core/parse/LineBreaks_p.h"

#include "core/parse/IsaHeader_p.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace kelvane::detail {

namespace {

// A file hard-wrapped into records, at 80 columns say, is recognised by its first 64 KiB; a
// shorter width is taken for ordinary lines.
constexpr std::size_t recordSample = 1u << 16;
constexpr std::size_t recordMinimum = 40;

} // namespace

void normalizeLineEnds(std::string &text)
{
    const std::size_t first = text.find("\r\n");
    if (first == std::string::npos)
        return;
    char *data = text.data();
    const std::size_t n = text.size();
    std::size_t write = first;
    std::size_t read = first;
    while (read < n) {
        if (data[read] == '\r' && read + 1 < n && data[read + 1] == '\n') {
            ++read;
            continue;
        }
        const void *cr = std::memchr(data + read + 1, '\r', n - read - 1);
        const std::size_t stop = cr ? std::size_t(static_cast<const char *>(cr) - data) : n;
        std::memmove(data + write, data + read, stop - read);
        write += stop - read;
        read = stop;
    }
    text.resize(write);
}

std::optional<std::size_t> recordWidth(std::string_view text)
{
    const std::size_t width = text.substr(0, recordSample).find('\n');
    if (width == std::string_view::npos || width < recordMinimum)
        return std::nullopt;
    std::string joined; // the lines looked at, without their breaks
    std::vector<std::size_t> breaks;
    std::size_t records = 0;
    for (std::size_t at = 0; at < recordSample; at = breaks.back() + 1) {
        if (text.size() - at <= width) {
            // The last line: shorter or as long, and at most a line break after it.
            const std::size_t lineBreak = text.find('\n', at);
            if (lineBreak != std::string_view::npos && lineBreak + 1 != text.size())
                return std::nullopt;
            records += text.size() - at == width;
            joined += text.substr(at, lineBreak - at);
            break;
        }
        if (text.substr(at, width + 1).find('\n') != width)
            return std::nullopt;
        joined += text.substr(at, width);
        breaks.push_back(at + width);
        ++records;
    }
    if (records < 2)
        return std::nullopt;
    const Detection found = detect(joined);
    const std::string_view terminator = found.delimiters.segment;
    if (!found.header || terminator == "\n")
        return std::nullopt;
    const bool inside = std::any_of(breaks.begin(), breaks.end(), [&](std::size_t lineBreak) {
        std::size_t end = lineBreak;
        while (end > lineBreak - width && (text[end - 1] == ' ' || text[end - 1] == '\t'))
            --end;
        return end > lineBreak - width && lineBreak + 1 < text.size() &&
               !text.substr(0, end).ends_with(terminator);
    });
    return inside ? std::optional(width) : std::nullopt;
}

void removeRecordBreaks(std::string &text, std::size_t width)
{
    char *data = text.data();
    const std::size_t n = text.size();
    std::size_t read = width;
    std::size_t write = width;
    while (read < n && data[read] == '\n') {
        ++read;
        if (n - read < width || std::memchr(data + read, '\n', width) != nullptr)
            break;
        std::memmove(data + write, data + read, width);
        write += width;
        read += width;
    }
    std::memmove(data + write, data + read, n - read);
    text.resize(write + (n - read));
}

} // namespace kelvane::detail
