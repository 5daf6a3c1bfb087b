#include "core/search/SegmentFilter.h"

#include "core/support/Memory_p.h"
#include "core/support/Parallel_p.h"
#include "core/support/TagKey_p.h"
#include "core/text/Unicode_p.h"
#include "core/text/VisibleText.h"
#include "core/support/Simd_p.h"
#include "core/dictionary/X12Dictionary.h"
#include "core/model/X12Document.h"
#include "core/guides/X12GuideLoops.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <array>
#include <bit>
#include <mutex>
#include <system_error>
#include <utility>

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
            c = kelvane::detail::asciiLower(c);
        return result;
    }
    icu::UnicodeString u =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), std::int32_t(text.size())));
    u.toLower(icu::Locale::getRoot());
    result.clear();
    u.toUTF8String(result);
    return result;
}

/// Whether a tag's dictionary name contains the query, remembered per tag. Tags are few and
/// short: one of up to 7 bytes is packed with its length into a number, which picks its entry
/// in a small table and is all that entry keeps of it.
class NameMatches
{
public:
    explicit NameMatches(std::string_view query) : m_query(query) {}

    bool operator()(std::string_view tag)
    {
        const std::uint64_t key = kelvane::detail::tagKey(tag);
        if (key == kelvane::detail::longTagKey)
            return matches(tag);
        return m_matches.get(key, [&] { return matches(tag); });
    }

private:
    bool matches(std::string_view tag) const
    {
        // A long tag is unknown to the dictionary, which names it "Segment " and the tag. A query
        // found there but not in the segment's text, which holds the tag, starts in "segment ":
        // only the tag's first bytes can matter (three for each byte of the query, as lower-casing
        // may shrink a character), so a tag of gigabytes is never copied.
        tag = VisibleText::cut(tag, 3 * m_query.size() + 16);
        return lowerCased(X12Dictionary::segmentName(tag)).find(m_query) != std::string::npos;
    }

    std::string_view m_query;
    kelvane::detail::TagCache<bool, 9> m_matches;
};

/// Whether a segment whose raw text is ASCII and does not hold the query can still match by its
/// name. Its tag is in its raw text, so the query must be in a name the dictionary knows, or
/// start within the "segment " that names the tags it does not know.
bool namesCanMatchAsciiSegments(std::string_view query)
{
    for (const auto &[tag, name] : X12Dictionary::segmentNames()) {
        if (lowerCased(name).find(query) != std::string::npos)
            return true;
    }
    constexpr std::string_view unknown = "segment ";
    for (std::size_t k = 0; k < unknown.size(); ++k) {
        const std::string_view rest = unknown.substr(k);
        const std::size_t overlap = std::min(rest.size(), query.size());
        if (rest.substr(0, overlap) == query.substr(0, overlap))
            return true;
    }
    return false;
}

/// Where the ASCII query, lower-case already, next starts in text[from, to) with ASCII letters
/// of either case, or npos. Sixteen places at a time are tested for its first and last bytes at
/// once, so a common first byte alone does not stop the scan.
std::size_t findFolding(std::string_view text, std::size_t from, std::size_t to,
                        std::string_view query)
{
    if (to < query.size())
        return std::string_view::npos;
    const std::size_t last = to - query.size(); // the last place it can start
    auto matchesAt = [&](std::size_t at) {
        for (std::size_t k = 0; k < query.size(); ++k) {
            if (kelvane::detail::asciiLower(text[at + k]) != query[k])
                return false;
        }
        return true;
    };
    std::size_t at = from;
    // A letter matches its two cases: the case bit set, then compared with the lower case.
    using V = kelvane::simd::Native;
    const auto caseBit = [](char c) { return V::splat(c >= 'a' && c <= 'z' ? 0x20 : 0); };
    const std::size_t back = query.size() - 1;
    const V::Bytes firstCase = caseBit(query.front()), lastCase = caseBit(query.back());
    const V::Bytes first = V::splat(std::uint8_t(query.front()));
    const V::Bytes lastByte = V::splat(std::uint8_t(query.back()));
    while (at + kelvane::simd::width <= last + 1) {
        const V::Bytes starts = V::equal(V::either(V::load(text.data() + at), firstCase), first);
        const V::Bytes ends =
            V::equal(V::either(V::load(text.data() + at + back), lastCase), lastByte);
        std::uint32_t mask = V::topBits(V::both(starts, ends));
        while (mask != 0) {
            const std::size_t candidate = at + std::size_t(std::countr_zero(mask));
            mask &= mask - 1;
            if (matchesAt(candidate))
                return candidate;
        }
        at += kelvane::simd::width;
    }
    for (; at <= last; ++at) {
        if (matchesAt(at))
            return at;
    }
    return std::string_view::npos;
}

/// The segments a thread searches before it looks whether the search is still wanted, and the
/// fewest it is given.
constexpr std::size_t searchStretch = 65536;

/// How many threads search a document of `segments` segments: the search and the room readied
/// for it must agree.
std::size_t threadsSearching(std::size_t segments) noexcept
{
    return kelvane::detail::threadsFor(segments / searchStretch + 1);
}

/// What every range's search shares about the query: worked out once, read by every thread.
struct Query
{
    Query(const X12GuideLoops &loops, std::string_view query)
        : text(query), ascii(isAscii(query)), asciiNamesCanMatch(namesCanMatchAsciiSegments(query)),
          inLoop(loops.searchIDs(query))
    {
    }

    std::string_view text;
    bool ascii;
    bool asciiNamesCanMatch;
    // A segment in a guide loop whose ID holds the query matches too: "2300" lists the claims.
    X12GuideLoops::IDSearch inLoop;
};

/// The matching segments among [begin, end), in order, appended to `out`. An ASCII query is
/// looked for in the text of all of them at once, and each place it is found marks the segment
/// that holds it; segments without such a place are then only asked about their names, and
/// those with other than ASCII about their lower-cased text.
void matchRange(const X12Document &document, const Query &q, NameMatches &nameMatches,
                std::size_t begin, std::size_t end, std::vector<std::uint32_t> &out)
{
    const std::string_view query = q.text;
    // A segment in which the query was not found in its bytes.
    auto unmatched = [&](std::uint32_t i) {
        if (q.inLoop.any() && q.inLoop(i))
            return true;
        const X12Segment segment = document.segment(i);
        const std::string_view raw = segment.raw();
        if (isAscii(raw)) {
            // An ASCII query was looked for in these bytes already, and ASCII text lower-cased
            // holds no other character: only the name is left.
            if (!q.asciiNamesCanMatch)
                return false;
        } else if (lowerCased(raw).find(query) != std::string::npos) {
            return true;
        }
        return nameMatches(segment.tag());
    };
    auto i = std::uint32_t(begin);
    if (q.ascii && begin < end) {
        const std::string_view raw0 = document.segment(i).raw();
        const std::string_view lastRaw = document.segment(std::uint32_t(end - 1)).raw();
        // The text that runs from the first segment to the end of the last.
        const std::string_view text(raw0.data(),
                                    std::size_t(lastRaw.data() + lastRaw.size() - raw0.data()));
        std::size_t from = 0;
        while (i < end) {
            const std::size_t hit = findFolding(text, from, text.size(), query);
            if (hit == std::string_view::npos)
                break;
            const std::size_t hitEnd = hit + query.size();
            // Segments that end before the place have no match in their bytes.
            std::string_view raw = document.segment(i).raw();
            while (std::size_t(raw.data() + raw.size() - text.data()) < hitEnd) {
                if (unmatched(i))
                    out.push_back(i);
                if (++i == end)
                    break;
                raw = document.segment(i).raw();
            }
            if (i == end)
                break;
            if (std::size_t(raw.data() - text.data()) <= hit) {
                out.push_back(i); // the place lies inside this segment
                if (++i == end)
                    break;
                from = std::size_t(document.segment(i).raw().data() - text.data());
            } else {
                from = hit + 1; // it ran from a gap between segments into this one
            }
        }
    }
    for (; i < end; ++i) {
        if (unmatched(i))
            out.push_back(i);
    }
}

/// Lists of matches kept for later searches. On a large file a search fills a list of up to
/// millions of entries; taken fresh from the system each time, its pages cost more than the search
/// itself (zeroed and mapped one by one). A few lists that searches are done with are kept here,
/// emptied, and handed out again.
class SpareLists
{
public:
    static SpareLists &instance()
    {
        // Never destroyed: a worker may still give a list back while the process exits.
        static SpareLists *const spares = new SpareLists;
        return *spares;
    }

    /// An empty list with room for `room` entries: the smallest kept one that has it, else a
    /// new one.
    std::vector<std::uint32_t> take(std::size_t room)
    {
        if (room >= smallest) {
            const std::lock_guard lock(m_mutex);
            std::vector<std::uint32_t> *best = nullptr;
            for (std::vector<std::uint32_t> &list : m_lists) {
                if (list.capacity() >= room && (!best || list.capacity() < best->capacity()))
                    best = &list;
            }
            if (best)
                return std::exchange(*best, {});
        }
        std::vector<std::uint32_t> list;
        kelvane::detail::reserveLarge(list, room);
        return list;
    }

    /// Keeps the list for later unless it is small, or smaller than every kept one while no
    /// place is free; what is not kept is freed.
    void give(std::vector<std::uint32_t> &&list) noexcept
    {
        if (list.capacity() < smallest)
            return;
        list.clear();
        std::vector<std::uint32_t> dropped;
        try {
            const std::lock_guard lock(m_mutex);
            if (list.capacity() / 2 > m_fitRoom)
                return; // too large for the file searched now
            std::vector<std::uint32_t> *place = &m_lists.front();
            for (std::vector<std::uint32_t> &kept : m_lists) {
                if (kept.capacity() < place->capacity())
                    place = &kept;
            }
            if (place->capacity() < list.capacity())
                dropped = std::exchange(*place, std::move(list));
        } catch (const std::system_error &) {
        }
    }

    /// Frees the kept lists with room for more than twice `room` entries, and keeps no such
    /// list from now on.
    void fit(std::size_t room) noexcept
    {
        std::array<std::vector<std::uint32_t>, 3> dropped;
        try {
            const std::lock_guard lock(m_mutex);
            m_fitRoom = room;
            for (std::size_t k = 0; k < m_lists.size(); ++k) {
                if (m_lists[k].capacity() / 2 > room)
                    dropped[k] = std::exchange(m_lists[k], {});
            }
        } catch (const std::system_error &) {
        }
    }

private:
    static constexpr std::size_t smallest = 1u << 16; // entries
    std::mutex m_mutex;
    std::array<std::vector<std::uint32_t>, 3> m_lists;
    std::size_t m_fitRoom = std::size_t(-1) / 2; // see fit()
};

} // namespace

namespace SegmentFilter {

std::string normalizedQuery(std::string_view text)
{
    // Trimmed of blanks and tabs only: the "whitespaces" set, which has no line breaks.
    return lowerCased(kelvane::detail::trimBlanks(text));
}

std::vector<std::uint32_t> matches(const X12Document &document, const X12GuideLoops &loops,
                                   std::string_view text, std::stop_token stop)
{
    const std::string query = normalizedQuery(text);
    const std::size_t count = document.segments().size();
    SpareLists &spares = SpareLists::instance();
    if (query.empty()) {
        std::vector<std::uint32_t> result = spares.take(count);
        result.resize(count);
        std::iota(result.begin(), result.end(), 0u);
        return result;
    }
    const Query shared(loops, query);
    // The segments are cut into one range per core, searched at once and joined in order. Each
    // range is searched a stretch at a time, to stop soon once the result is no longer wanted.
    const std::size_t threads = threadsSearching(count);
    std::vector<std::vector<std::uint32_t>> found(threads);
    auto search = [&](std::size_t part) {
        const std::size_t begin = count * part / threads, end = count * (part + 1) / threads;
        // Filled on the thread's own stack, not in `found`, whose lists share cache lines (false
        // sharing). Room for every segment of the range (the first part: of the document, as the
        // others join it), so no list moves as it grows; pages that no match reaches are never
        // touched.
        std::vector<std::uint32_t> list = spares.take(part == 0 ? count : end - begin);
        NameMatches nameMatches(query);
        for (std::size_t from = begin; from < end && !stop.stop_requested(); from += searchStretch)
            matchRange(document, shared, nameMatches, from, std::min(end, from + searchStretch),
                       list);
        found[part] = std::move(list);
    };
    kelvane::detail::runParts(threads, search);
    std::vector<std::uint32_t> result;
    if (stop.stop_requested())
        spares.give(std::move(found.front()));
    else
        result = std::move(found.front());
    for (std::size_t part = 1; part < threads; ++part) {
        if (!stop.stop_requested())
            result.insert(result.end(), found[part].begin(), found[part].end());
        spares.give(std::move(found[part]));
    }
    return result;
}

void recycle(std::vector<std::uint32_t> &&list) noexcept
{
    SpareLists::instance().give(std::move(list));
}

void fitSpareLists(std::size_t segments) noexcept
{
    SpareLists::instance().fit(segments);
}

void prepareRoom(std::size_t segments)
{
    fitSpareLists(segments);
    // A search's lists: one for the whole document, one for each other core's share.
    const std::size_t threads = threadsSearching(segments);
    SpareLists &spares = SpareLists::instance();
    std::vector<std::vector<std::uint32_t>> lists;
    for (std::size_t part = 0; part < std::min<std::size_t>(threads, 3); ++part) {
        std::vector<std::uint32_t> list =
            spares.take(part == 0 ? segments : segments / threads + 1);
        list.resize(list.capacity()); // every page written once now, not while the user types
        lists.push_back(std::move(list));
    }
    for (std::vector<std::uint32_t> &list : lists)
        spares.give(std::move(list));
}

} // namespace SegmentFilter
