#include "core/SegmentFilter.h"

#include "core/Unicode_p.h"
#include "core/X12Dictionary.h"
#include "core/X12Document.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <unordered_map>

#include <unicode/locid.h>
#include <unicode/unistr.h>

namespace {

bool isAscii(std::string_view text)
{
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + i, 8);
        if (word & 0x8080808080808080ull)
            return false;
    }
    for (; i < text.size(); ++i) {
        if (static_cast<unsigned char>(text[i]) >= 0x80)
            return false;
    }
    return true;
}

std::string lowerCased(std::string_view text)
{
    std::string result(text);
    if (isAscii(text)) {
        for (char &c : result)
            c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
        return result;
    }
    icu::UnicodeString u =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), std::int32_t(text.size())));
    u.toLower(icu::Locale::getRoot());
    result.clear();
    u.toUTF8String(result);
    return result;
}

/// Case-insensitive for ASCII: the query is lower-case already.
bool containsFoldingAscii(std::string_view text, std::string_view query)
{
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
    if (query.size() > text.size())
        return false;
    const char first = query.front();
    const char upperFirst = (first >= 'a' && first <= 'z') ? char(first - 'a' + 'A') : first;
    for (std::size_t i = 0; i + query.size() <= text.size(); ++i) {
        if (text[i] != first && text[i] != upperFirst)
            continue;
        std::size_t k = 1;
        while (k < query.size() && lower(text[i + k]) == query[k])
            ++k;
        if (k == query.size())
            return true;
    }
    return false;
}

} // namespace

namespace SegmentFilter {

std::string normalizedQuery(std::string_view text)
{
    // Trimmed of blanks and tabs only: the "whitespaces" set, which has no line breaks.
    return lowerCased(kelvane::detail::trimBlanks(text));
}

std::vector<std::uint32_t> matches(const X12Document &document, std::string_view text)
{
    const std::string query = normalizedQuery(text);
    const std::size_t count = document.segments().size();
    std::vector<std::uint32_t> result;
    if (query.empty()) {
        result.resize(count);
        std::iota(result.begin(), result.end(), 0u);
        return result;
    }
    const bool asciiQuery = isAscii(query);
    std::unordered_map<std::string_view, bool> nameMatches; // by tag
    for (std::uint32_t i = 0; i < count; ++i) {
        const X12Segment segment = document.segment(i);
        const std::string_view raw = segment.raw();
        bool match;
        if (asciiQuery && isAscii(raw))
            match = containsFoldingAscii(raw, query);
        else
            match = lowerCased(raw).find(query) != std::string::npos;
        if (!match) {
            auto it = nameMatches.find(segment.tag());
            if (it == nameMatches.end()) {
                const std::string name = lowerCased(X12Dictionary::segmentName(segment.tag()));
                it =
                    nameMatches.emplace(segment.tag(), name.find(query) != std::string::npos).first;
            }
            match = it->second;
        }
        if (match)
            result.push_back(i);
    }
    return result;
}

} // namespace SegmentFilter
