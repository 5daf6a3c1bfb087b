#include "core/SegmentFilter.h"

#include "core/Unicode_p.h"
#include "core/X12Dictionary.h"
#include "core/X12Document.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <array>
#include <thread>

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

/// Whether a tag's dictionary name contains the query, remembered per tag. Tags are few and
/// short: a small table indexed by their first bytes finds most of them at once.
class NameMatches
{
public:
    explicit NameMatches(std::string_view query) : m_query(query) {}

    bool operator()(std::string_view tag)
    {
        std::size_t slot = tag.size();
        for (std::size_t i = 0; i < std::min<std::size_t>(tag.size(), 3); ++i)
            slot = slot * 31 + static_cast<unsigned char>(tag[i]);
        Entry &entry = m_entries[slot % m_entries.size()];
        if (!entry.known || entry.tag != tag) {
            entry.tag.assign(tag);
            entry.match =
                lowerCased(X12Dictionary::segmentName(tag)).find(m_query) != std::string::npos;
            entry.known = true;
        }
        return entry.match;
    }

private:
    struct Entry
    {
        std::string tag;
        bool known = false;
        bool match = false;
    };
    std::string_view m_query;
    std::array<Entry, 512> m_entries;
};

/// The matching segments among [begin, end), in order, appended to `out`.
void matchRange(const X12Document &document, std::string_view query, std::size_t begin,
                std::size_t end, std::vector<std::uint32_t> &out)
{
    const bool asciiQuery = isAscii(query);
    NameMatches nameMatches(query);
    for (auto i = std::uint32_t(begin); i < end; ++i) {
        const X12Segment segment = document.segment(i);
        const std::string_view raw = segment.raw();
        bool match;
        if (asciiQuery && isAscii(raw))
            match = containsFoldingAscii(raw, query);
        else
            match = lowerCased(raw).find(query) != std::string::npos;
        if (match || nameMatches(segment.tag()))
            out.push_back(i);
    }
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
    // The segments are cut into one range per core, searched at once and joined in order.
    const std::size_t threads = std::min<std::size_t>(
        {std::max(1u, std::thread::hardware_concurrency()), 8, count / 65536 + 1});
    std::vector<std::vector<std::uint32_t>> found(threads);
    auto search = [&](std::size_t part) {
        matchRange(document, query, count * part / threads, count * (part + 1) / threads,
                   found[part]);
    };
    {
        std::vector<std::jthread> workers;
        for (std::size_t part = 1; part < threads; ++part)
            workers.emplace_back(search, part);
        search(0);
    }
    std::size_t total = 0;
    for (const auto &part : found)
        total += part.size();
    result.reserve(total);
    for (const auto &part : found)
        result.insert(result.end(), part.begin(), part.end());
    return result;
}

} // namespace SegmentFilter
