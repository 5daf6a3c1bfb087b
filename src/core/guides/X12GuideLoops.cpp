#include "core/guides/X12GuideLoops.h"

#include "core/guides/GuideWalk_p.h"
#include "core/support/Parallel_p.h"
#include "core/text/Unicode_p.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <iterator>
#include <new>

namespace guides = kelvane::detail::guides;

void X12GuideLoops::Free::operator()(std::uint16_t *places) const noexcept
{
    std::free(places);
}

X12GuideLoops X12GuideLoops::of(const X12Document &document)
{
    return walk(document, false);
}

X12GuideLoops X12GuideLoops::checked(const X12Document &document)
{
    return walk(document, true);
}

X12GuideLoops X12GuideLoops::walk(const X12Document &document, bool check)
{
    X12GuideLoops result;
    const std::size_t count = document.segments().size();
    result.m_places.reset(static_cast<std::uint16_t *>(std::calloc(count, sizeof(std::uint16_t))));
    if (!result.m_places)
        throw std::bad_alloc();
    // The segments are cut into pieces, more of them than there are cores, and each core takes
    // the next piece when it is done with one: a core slowed down by other work holds up no
    // other. A piece walks the sets that start in it; a set that runs past the piece's end is
    // still its own, so every segment is written by one core only.
    const std::size_t threads = kelvane::detail::threadsFor(count / 65536 + 1);
    const std::size_t pieces = threads == 1 ? 1 : std::min(threads * 16, count / 16384 + 1);
    std::vector<char> placed(pieces);
    std::vector<std::vector<X12GuideFinding>> findings(pieces);
    std::vector<std::vector<X12UncheckedSet>> unchecked(pieces);
    std::atomic<std::size_t> next = 0;
    std::atomic<std::size_t> foundBefore = 0; // by the pieces done
    auto walkPieces = [&](std::size_t) {
        for (std::size_t piece; (piece = next.fetch_add(1)) < pieces;) {
            // The pieces done all come before this one, as they are taken in order: once they
            // hold more than the limit, what this one would find is never listed.
            const bool listed = check && foundBefore.load() <= findingLimit;
            guides::GuideWalk walk(document, result.m_places.get(),
                                   listed ? &findings[piece] : nullptr, findingLimit,
                                   check ? &unchecked[piece] : nullptr);
            walk.run(count * piece / pieces, count * (piece + 1) / pieces);
            placed[piece] = walk.placedAny();
            foundBefore += findings[piece].size();
        }
    };
    kelvane::detail::runParts(threads, walkPieces);
    for (const std::vector<X12UncheckedSet> &part : unchecked)
        result.m_unchecked.insert(result.m_unchecked.end(), part.begin(), part.end());
    // Each piece checks whole sets until it holds more than the limit, so the first
    // `findingLimit` of all are the same however the pieces were shared out.
    for (std::vector<X12GuideFinding> &part : findings) {
        result.m_findings.insert(result.m_findings.end(), std::make_move_iterator(part.begin()),
                                 std::make_move_iterator(part.end()));
        if (result.m_findings.size() > findingLimit)
            break;
    }
    if (result.m_findings.size() > findingLimit) {
        const std::uint32_t position = result.m_findings[findingLimit].position;
        result.m_findings.resize(findingLimit);
        result.m_findings.push_back(
            {X12Finding::Severity::warning,
             position,
             {},
             {},
             {},
             {},
             {},
             "Checking stopped after " + std::to_string(findingLimit) +
                 " findings: from this segment on, the file is not checked against its guides"});
    }
    if (std::find(placed.begin(), placed.end(), 1) != placed.end())
        result.m_count = count;
    else
        result.m_places.reset();
    return result;
}

std::optional<X12GuideLoop> X12GuideLoops::loopOf(std::uint32_t index) const noexcept
{
    if (index >= m_count || m_places[index] == 0)
        return std::nullopt;
    const guides::Loop &loop = guides::guideTable().loops[m_places[index] & loopMask];
    return X12GuideLoop{loop.id, loop.name};
}

std::optional<X12GuideLoop> X12GuideLoops::loopBegunBy(std::uint32_t index) const noexcept
{
    if (index >= m_count || (m_places[index] & beginsBit) == 0)
        return std::nullopt;
    return loopOf(index);
}

X12GuideLoops::IDSearch X12GuideLoops::searchIDs(std::string_view query) const
{
    IDSearch search;
    if (m_count == 0)
        return search;
    const guides::GuideTable &table = guides::guideTable();
    std::vector<bool> matching(table.loops.size());
    bool any = false;
    std::string id;
    for (std::size_t k = 1; k < table.loops.size(); ++k) {
        id.assign(table.loops[k].id);
        for (char &c : id)
            c = kelvane::detail::asciiLower(c);
        if (!id.empty() && id.find(query) != std::string::npos) {
            matching[k] = true;
            any = true;
        }
    }
    if (any) {
        search.m_places = places();
        search.m_matching = std::move(matching);
    }
    return search;
}

std::vector<std::pair<std::string_view, std::string_view>> X12GuideLoops::knownGuides()
{
    std::vector<std::pair<std::string_view, std::string_view>> result;
    for (const guides::Guide &guide : guides::guideTable().guides) {
        if (std::find(result.begin(), result.end(), std::pair(guide.version, guide.set)) ==
            result.end())
            result.emplace_back(guide.version, guide.set);
    }
    return result;
}
