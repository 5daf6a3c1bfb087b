#include "core/guides/X12GuideLoops.h"

#include "core/model/Envelope_p.h"
#include "core/support/Parallel_p.h"
#include "core/model/X12Document.h"
#include "core/text/Unicode_p.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <cstdlib>
#include <new>
#include <span>

namespace kelvane::detail {
/// The lines of data/guide-loops.txt, comments left out, compiled into the binary.
std::span<const std::string_view> guideLoopLines();
} // namespace kelvane::detail

namespace {

namespace envelope = kelvane::detail::envelope;

constexpr std::uint16_t beginsLoop = 0x8000; // set on the segment that begins its loop

/// A tag of two or three characters as one number, so that comparing tags is comparing numbers.
/// Every other text gives 0, which no guide uses.
std::uint32_t packTag(std::string_view tag) noexcept
{
    if (tag.size() < 2 || tag.size() > 3)
        return 0;
    std::uint32_t packed = std::uint32_t(tag.size()) << 24;
    for (std::size_t i = 0; i < tag.size(); ++i)
        packed |= std::uint32_t(static_cast<unsigned char>(tag[i])) << (8 * i);
    return packed;
}

struct Loop
{
    std::string_view id; // empty for the level of the transaction set itself
    std::string_view name;
    std::uint32_t beginTag = 0;
    std::size_t beginElement = 0; // from 1; 0 when the tag alone begins the loop
    bool firstComponent = false;  // only the element's first component is compared
    std::vector<std::string_view> codes;
    std::vector<std::uint32_t> tags;     // of its segments but the first; all at the set's level
    std::vector<std::uint16_t> children; // loop numbers, in the guide's order
};

struct Guide
{
    std::string_view version;
    std::string_view set;
    // Picks between guides sharing set and version: the first segment with this tag holds this
    // code in this element.
    std::uint32_t selectorTag = 0;
    std::size_t selectorElement = 0;
    std::string_view selectorCode;
    std::uint16_t top = 0; // the loop number of the set's own level
};

struct GuideTable
{
    std::vector<Loop> loops{Loop{}}; // loop number 0 stands for "in no loop"
    std::vector<Guide> guides;
};

std::vector<std::string_view> fields(std::string_view line, std::size_t most)
{
    std::vector<std::string_view> result;
    while (!line.empty()) {
        if (result.size() + 1 == most) {
            result.push_back(line);
            break;
        }
        const std::size_t space = line.find(' ');
        result.push_back(line.substr(0, space));
        line = space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
    }
    return result;
}

std::size_t number(std::string_view text)
{
    std::size_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

/// Reads the compiled-in table. Its grammar is described at the top of data/guide-loops.txt.
GuideTable readTable()
{
    GuideTable table;
    std::vector<std::uint16_t> open; // the loops of the current guide from its top inwards
    bool firstSegment = false;       // the next `seg` line is the segment that begins the loop
    for (const std::string_view line : kelvane::detail::guideLoopLines()) {
        const std::vector<std::string_view> f = fields(line, line.starts_with("loop ") ? 6 : 64);
        if (f[0] == "guide" && f.size() >= 4) {
            Guide guide;
            guide.version = f[1];
            guide.set = f[2];
            if (f.size() == 7) {
                guide.selectorTag = packTag(f[4]);
                guide.selectorElement = number(f[5]);
                guide.selectorCode = f[6];
            }
            guide.top = std::uint16_t(table.loops.size());
            table.loops.emplace_back();
            table.guides.push_back(guide);
            open.assign(1, guide.top);
            firstSegment = false;
        } else if (f[0] == "loop" && f.size() == 6 && !open.empty()) {
            while (open.size() > 1 && table.loops[open.back()].id != f[2])
                open.pop_back();
            const auto loop = std::uint16_t(table.loops.size());
            table.loops.emplace_back();
            table.loops.back().id = f[1];
            table.loops.back().name = f[5];
            table.loops[open.back()].children.push_back(loop);
            open.push_back(loop);
            firstSegment = true;
        } else if (f[0] == "begin" && f.size() >= 2 && open.size() > 1) {
            Loop &loop = table.loops[open.back()];
            loop.beginTag = packTag(f[1]);
            if (f.size() > 2) {
                loop.beginElement = number(f[2]);
                loop.firstComponent = f[2].ends_with("-1");
                loop.codes.assign(f.begin() + 3, f.end());
            }
        } else if (f[0] == "seg" && f.size() >= 2 && !open.empty()) {
            if (!std::exchange(firstSegment, false))
                table.loops[open.back()].tags.push_back(packTag(f[1]));
        } else if (f[0] == "end") {
            open.clear();
        }
    }
    assert(table.loops.size() < 0x8000);
    return table;
}

const GuideTable &guideTable()
{
    static const GuideTable table = readTable();
    return table;
}

/// The version without its addenda: "005010X222A1" gives "005010X222".
std::string_view withoutAddenda(std::string_view version)
{
    std::size_t end = version.size();
    while (end > 0 && version[end - 1] >= '0' && version[end - 1] <= '9')
        --end;
    if (end < version.size() && end > 0 && version[end - 1] == 'A')
        return version.substr(0, end - 1);
    return version;
}

/// Walks transaction sets of one document.
class Walk
{
public:
    Walk(const X12Document &document, std::uint16_t *places)
        : m_document(document), m_table(guideTable()), m_places(places)
    {
    }

    /// Whether a segment was put in a loop.
    bool placedAny() const noexcept { return m_placedAny; }

    /// Places the sets whose ST lies in [from, to).
    void run(std::size_t from, std::size_t to)
    {
        std::string_view groupVersion = versionBefore(from);
        for (std::size_t i = from; i < to;) {
            const X12Segment segment = m_document.segment(std::uint32_t(i));
            const std::string_view tag = segment.tag();
            if (tag == "GS")
                groupVersion = segment.element(envelope::gsVersion);
            else if (tag == "GE" || tag == "ISA" || tag == "IEA")
                groupVersion = {};
            if (tag != "ST") {
                ++i;
                continue;
            }
            const std::size_t end = setEnd(i);
            if (const Guide *guide = chooseGuide(i, end, groupVersion))
                walkSet(*guide, i, end);
            i = end;
        }
    }

private:
    /// The GS08 of the group segment `at` is in: the nearest envelope segment before it tells.
    std::string_view versionBefore(std::size_t at) const
    {
        while (at-- > 0) {
            const X12Segment segment = m_document.segment(std::uint32_t(at));
            const std::string_view tag = segment.tag();
            if (tag == "GS")
                return segment.element(envelope::gsVersion);
            if (tag == "GE" || tag == "ISA" || tag == "IEA")
                break;
        }
        return {};
    }

    /// Where the set whose ST is at `first` ends: after its SE, or at the next envelope segment.
    std::size_t setEnd(std::size_t first) const
    {
        const std::size_t count = m_document.segments().size();
        for (std::size_t i = first + 1; i < count; ++i) {
            const std::string_view tag = m_document.segment(std::uint32_t(i)).tag();
            if (tag == "SE")
                return i + 1;
            if (tag == "ST" || tag == "GS" || tag == "GE" || tag == "ISA" || tag == "IEA")
                return i;
        }
        return count;
    }

    const Guide *chooseGuide(std::size_t first, std::size_t end,
                             std::string_view groupVersion) const
    {
        const X12Segment st = m_document.segment(std::uint32_t(first));
        const std::string_view set = st.element(envelope::stCode);
        for (const std::string_view version : {st.element(envelope::stVersion), groupVersion}) {
            if (version.empty())
                continue;
            std::vector<const Guide *> found;
            for (const Guide &guide : m_table.guides) {
                if (guide.set == set && guide.version == version)
                    found.push_back(&guide);
            }
            if (found.empty()) {
                for (const Guide &guide : m_table.guides) {
                    if (guide.set == set &&
                        withoutAddenda(guide.version) == withoutAddenda(version))
                        found.push_back(&guide);
                }
            }
            if (found.empty())
                continue;
            for (const Guide *guide : found) {
                if (guide->selectorTag != 0 && selects(*guide, first, end))
                    return guide;
            }
            return found.front();
        }
        return nullptr;
    }

    bool selects(const Guide &guide, std::size_t first, std::size_t end) const
    {
        for (std::size_t i = first; i < end; ++i) {
            const X12Segment segment = m_document.segment(std::uint32_t(i));
            if (packTag(segment.tag()) == guide.selectorTag)
                return segment.elementAt(std::ptrdiff_t(guide.selectorElement)) ==
                       guide.selectorCode;
        }
        return false;
    }

    bool begins(const Loop &loop, std::uint32_t tag, const X12Segment &segment) const
    {
        if (loop.beginTag != tag)
            return false;
        if (loop.beginElement == 0)
            return true;
        std::string_view value = segment.elementAt(std::ptrdiff_t(loop.beginElement));
        if (loop.firstComponent)
            value = value.substr(
                0, value.find(
                       m_document.delimitersAt(std::uint32_t(segment.position() - 1)).component));
        return std::find(loop.codes.begin(), loop.codes.end(), value) != loop.codes.end();
    }

    /// Places segments [first, end) of one set. For each segment the open loops are tried from
    /// the innermost outwards; the first that takes it wins: the loop opens a child the segment
    /// begins (closing what is deeper), or the segment is one of the loop's own.
    void walkSet(const Guide &guide, std::size_t first, std::size_t end)
    {
        m_open.assign(1, guide.top);
        for (std::size_t i = first; i < end; ++i) {
            const X12Segment segment = m_document.segment(std::uint32_t(i));
            const std::uint32_t tag = packTag(segment.tag());
            for (std::size_t depth = m_open.size(); depth-- > 0;) {
                const Loop &loop = m_table.loops[m_open[depth]];
                const auto child =
                    std::find_if(loop.children.begin(), loop.children.end(), [&](std::uint16_t c) {
                        return begins(m_table.loops[c], tag, segment);
                    });
                if (child != loop.children.end()) {
                    m_open.resize(depth + 1);
                    m_open.push_back(*child);
                    m_places[i] = std::uint16_t(*child | beginsLoop);
                    m_placedAny = true;
                    break;
                }
                if (std::find(loop.tags.begin(), loop.tags.end(), tag) != loop.tags.end()) {
                    m_open.resize(depth + 1);
                    m_places[i] = depth == 0 ? 0 : m_open.back();
                    m_placedAny = m_placedAny || depth > 0;
                    break;
                }
            }
        }
    }

    const X12Document &m_document;
    const GuideTable &m_table;
    std::uint16_t *m_places;
    std::vector<std::uint16_t> m_open; // loop numbers, the set's level first
    bool m_placedAny = false;
};

} // namespace

void X12GuideLoops::Free::operator()(std::uint16_t *places) const noexcept
{
    std::free(places);
}

X12GuideLoops X12GuideLoops::of(const X12Document &document)
{
    X12GuideLoops result;
    const std::size_t count = document.segments().size();
    result.m_places.reset(static_cast<std::uint16_t *>(std::calloc(count, sizeof(std::uint16_t))));
    if (!result.m_places)
        throw std::bad_alloc();
    // Each core takes the sets that start in its share of the segments; a set that runs past the
    // share's end is still its own, so every segment is written by one core only.
    const std::size_t threads = kelvane::detail::threadsFor(count / 65536 + 1);
    std::vector<char> placed(threads);
    auto walkShare = [&](std::size_t part) {
        Walk walk(document, result.m_places.get());
        walk.run(count * part / threads, count * (part + 1) / threads);
        placed[part] = walk.placedAny();
    };
    kelvane::detail::runParts(threads, walkShare);
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
    const Loop &loop = guideTable().loops[m_places[index] & loopMask];
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
    const GuideTable &table = guideTable();
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
    for (const Guide &guide : guideTable().guides) {
        if (std::find(result.begin(), result.end(), std::pair(guide.version, guide.set)) ==
            result.end())
            result.emplace_back(guide.version, guide.set);
    }
    return result;
}
