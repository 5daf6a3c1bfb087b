#include "core/guides/GuideWalk_p.h"

#include "core/dictionary/X12Dictionary.h"
#include "core/guides/ElementCheck_p.h"
#include "core/model/Envelope_p.h"

#include <algorithm>
#include <charconv>
#include <span>

namespace kelvane::detail::guides {

namespace {

namespace envelope = kelvane::detail::envelope;

constexpr std::uint16_t beginsLoop = 0x8000; // set on the segment that begins its loop

bool isEnvelope(std::uint32_t tag) noexcept
{
    return tag == packTag("ST") || tag == packTag("GS") || tag == packTag("GE") ||
           tag == packTag("ISA") || tag == packTag("IEA");
}

bool isEnvelope(std::string_view tag) noexcept
{
    return isEnvelope(packTag(tag));
}

/// Whether the tag of a segment can begin with one of `letters` (capitals), told from the first
/// byte of its text without finding where the tag ends: for walks over many segments that look
/// for a few tags. A byte beyond ASCII can begin a character that upper-cases to a letter.
bool mayBeginWith(const X12Segment &segment, std::string_view letters) noexcept
{
    const std::string_view raw = segment.raw();
    if (raw.empty())
        return false;
    const char first = raw.front();
    return static_cast<unsigned char>(first) >= 0x80 ||
           letters.find(first >= 'a' && first <= 'z' ? char(first - 'a' + 'A') : first) !=
               std::string_view::npos;
}

std::string inLoop(std::string_view id)
{
    return id.empty() ? std::string(" in the transaction set") : " in loop " + std::string(id);
}

std::string times(std::uint32_t count)
{
    return std::to_string(count) + (count == 1 ? " time" : " times");
}

} // namespace

GuideWalk::GuideWalk(const X12Document &document, std::uint16_t *places,
                     std::vector<X12GuideFinding> *findings, std::size_t limit,
                     std::vector<X12UncheckedSet> *unchecked)
    : m_document(document), m_table(guideTable()), m_places(places), m_findings(findings),
      m_limit(limit), m_unchecked(unchecked)
{
}

void GuideWalk::run(std::size_t from, std::size_t to)
{
    // The GS08 of the group the walk is in, found by a walk back from `from` only when a set
    // before the first envelope segment needs it.
    std::optional<std::string_view> groupVersion;
    for (std::size_t i = from; i < to;) {
        const X12Segment segment = m_document.segment(std::uint32_t(i));
        if (!mayBeginWith(segment, "GIS")) { // GS, GE, ISA, IEA or ST
            ++i;
            continue;
        }
        const std::string_view tag = segment.tag();
        if (tag == "GS")
            groupVersion = segment.element(envelope::gsVersion);
        else if (tag == "GE" || tag == "ISA" || tag == "IEA")
            groupVersion = std::string_view();
        if (tag != "ST") {
            ++i;
            continue;
        }
        const Guide *guide = guideFor(i, segment.element(envelope::stVersion));
        if (guide == nullptr) {
            if (!groupVersion)
                groupVersion = versionBefore(from);
            guide = guideFor(i, *groupVersion);
            if (guide == nullptr && m_unchecked != nullptr)
                noteUnchecked(segment, *groupVersion);
        }
        i = guide != nullptr ? walkSet(*guide, i) : setEnd(i);
    }
}

/// The GS08 of the group segment `at` is in: the nearest envelope segment before it tells.
std::string_view GuideWalk::versionBefore(std::size_t at) const
{
    while (at-- > 0) {
        const X12Segment segment = m_document.segment(std::uint32_t(at));
        if (!mayBeginWith(segment, "GI")) // GS, GE, ISA or IEA
            continue;
        const std::string_view tag = segment.tag();
        if (tag == "GS")
            return segment.element(envelope::gsVersion);
        if (tag == "GE" || tag == "ISA" || tag == "IEA")
            break;
    }
    return {};
}

/// Where the set whose ST is at `first` ends: after its SE, or at the next envelope segment.
std::size_t GuideWalk::setEnd(std::size_t first) const
{
    const std::size_t count = m_document.segments().size();
    for (std::size_t i = first + 1; i < count; ++i) {
        const std::string_view tag = m_document.segment(std::uint32_t(i)).tag();
        if (tag == "SE")
            return i + 1;
        if (isEnvelope(tag))
            return i;
    }
    return count;
}

/// The guide of the set whose ST is at `first` if its version is `version` (ST03 or GS08); none
/// for an empty version or one no guide has.
const Guide *GuideWalk::guideFor(std::size_t first, std::string_view version) const
{
    if (version.empty())
        return nullptr;
    const std::string_view set = m_document.segment(std::uint32_t(first)).element(envelope::stCode);
    std::vector<const Guide *> found;
    for (const Guide &guide : m_table.guides) {
        if (guide.set == set && guide.version == version)
            found.push_back(&guide);
    }
    if (found.empty()) {
        for (const Guide &guide : m_table.guides) {
            if (guide.set == set && withoutAddenda(guide.version) == withoutAddenda(version))
                found.push_back(&guide);
        }
    }
    if (found.empty())
        return nullptr;
    for (const Guide *guide : found) {
        if (guide->selectorTag != 0 && selects(*guide, first))
            return guide;
    }
    return found.front();
}

/// Notes the set whose ST is `st`, which has no guide here, when it names a health-care guide
/// all the same (see X12UncheckedSet).
void GuideWalk::noteUnchecked(const X12Segment &st, std::string_view groupVersion)
{
    const std::string_view set = st.element(envelope::stCode);
    const std::string_view ownVersion = st.element(envelope::stVersion);
    // "005010X222A1": six digits, X and the guide's three.
    const auto namesGuide = [](std::string_view version) {
        if (version.size() < 10 || version[6] != 'X')
            return false;
        for (std::size_t i = 0; i < 10; ++i) {
            if (i != 6 && (version[i] < '0' || version[i] > '9'))
                return false;
        }
        return true;
    };
    constexpr std::string_view healthCareSets[] = {"270", "271", "276", "277",
                                                   "278", "834", "835", "837"};
    if (!namesGuide(ownVersion) && !namesGuide(groupVersion) &&
        std::ranges::find(healthCareSets, set) == std::end(healthCareSets))
        return;
    m_unchecked->push_back(
        {std::uint32_t(st.position()), set, ownVersion.empty() ? groupVersion : ownVersion});
}

/// Whether the first segment of the set with the selector's tag holds its code.
bool GuideWalk::selects(const Guide &guide, std::size_t first) const
{
    const std::size_t count = m_document.segments().size();
    for (std::size_t i = first; i < count; ++i) {
        const X12Segment segment = m_document.segment(std::uint32_t(i));
        const std::string_view tag = segment.tag();
        if (packTag(tag) == guide.selectorTag)
            return segment.elementAt(std::ptrdiff_t(guide.selectorElement)) == guide.selectorCode;
        if (tag == "SE" || (i > first && isEnvelope(tag)))
            break;
    }
    return false;
}

/// Element `position` (from 1) of the segment being placed; empty for a position below 1 or past
/// its last element. When the set is checked, the elements were read for it already.
std::string_view GuideWalk::valueAt(std::size_t position) const noexcept
{
    if (m_findings == nullptr)
        return m_segment.elementAt(std::ptrdiff_t(position));
    return position >= 1 && position <= m_values.size() ? m_values[position - 1]
                                                        : std::string_view();
}

bool GuideWalk::matches(const SegmentRule &rule, std::uint32_t tag) const
{
    if (rule.tag != tag)
        return false;
    if (rule.keyElement == 0)
        return true;
    std::string_view value = valueAt(rule.keyElement);
    if (rule.keyComponent > 0) {
        const std::string_view separator =
            m_document.delimitersAt(std::uint32_t(m_segment.position() - 1)).component;
        value = separator.empty() ? value : value.substr(0, value.find(separator));
    }
    return m_table.listHolds(rule.keyCodes, value);
}

/// Walks the set whose ST is at `first` to its SE, or to the next envelope segment; returns
/// where it ended.
std::size_t GuideWalk::walkSet(const Guide &guide, std::size_t first)
{
    m_guide = &guide;
    m_frames.clear();
    m_counts.clear();
    openFrame(guide.top, 0);
    m_hlCount = 0;
    m_hlIDs.clear();
    // Past the limit, the check stops between sets, so that what it found of each set is whole
    // and the first findings are the same however the sets are shared out; within one huge set,
    // at twice the limit, to bound the memory.
    if (m_findings != nullptr && m_findings->size() > m_limit)
        m_findings = nullptr;
    std::vector<X12GuideFinding> *const findings = m_findings;
    const std::size_t findingsBefore = findings != nullptr ? findings->size() : 0;
    if (findings != nullptr) {
        X12Delimiters delimiters = m_document.delimitersAt(std::uint32_t(first));
        // 4010 has no repetition separator, and one that is also another separator is none.
        if (guide.version.starts_with("004") || delimiters.repetition == delimiters.component ||
            delimiters.repetition == delimiters.element)
            delimiters.repetition.clear();
        m_check.emplace(m_table, delimiters);
        m_balancing.startSet(guide.set);
    }
    const std::size_t count = m_document.segments().size();
    std::size_t end = count;
    for (std::size_t i = first; i < count; ++i) {
        if (m_findings != nullptr && m_findings->size() > 2 * m_limit) [[unlikely]]
            m_findings = nullptr;
        m_segment = m_document.segment(std::uint32_t(i));
        m_tag = m_segment.tag();
        m_tagCode = packTag(m_tag);
        if (i > first && isEnvelope(m_tagCode)) {
            end = i;
            break;
        }
        if (m_findings != nullptr)
            m_segment.elementsInto(m_values); // for the walk and the check
        place(i);
        if (m_tagCode == packTag("SE")) {
            end = i + 1;
            break;
        }
    }
    if (findings != nullptr) {
        if (m_findings != nullptr)
            m_balancing.endSet(*findings);
        // Amounts are found to disagree where a claim ends, and reported where it begins.
        std::stable_sort(findings->begin() + std::ptrdiff_t(findingsBefore), findings->end(),
                         [](const X12GuideFinding &a, const X12GuideFinding &b) {
                             return a.position < b.position;
                         });
    }
    return end;
}

void GuideWalk::openFrame(std::uint16_t loop, std::uint16_t member)
{
    m_frames.push_back({loop, 0, member, m_counts.size()});
    m_counts.resize(m_counts.size() + m_table.loops[loop].members.size(), 0);
}

void GuideWalk::closeFramesAbove(std::size_t depth)
{
    while (m_frames.size() > depth + 1) {
        m_counts.resize(m_frames.back().counts);
        m_frames.pop_back();
    }
}

/// Looks for the segment from where the walk stands: in the innermost open loop from its current
/// position onwards, then in each loop around it from that loop's position onwards.
void GuideWalk::place(std::size_t index)
{
    const std::uint32_t tag = m_tagCode;
    m_passed.clear();
    std::optional<Passed> nearest; // the first member with the tag whose qualifier differs
    std::size_t passedBefore = 0;  // of m_passed, those passed over before it
    for (std::size_t depth = m_frames.size(); depth-- > 0;) {
        const Frame frame = m_frames[depth];
        const std::span<const Member> members = m_table.loops[frame.loop].members;
        const std::uint32_t *const counts = m_counts.data() + frame.counts;
        for (std::size_t k = frame.at; k < members.size(); ++k) {
            const Member &member = members[k];
            if (member.tag != tag) { // most members: passed over
                if (member.required && counts[k] == 0)
                    m_passed.push_back({depth, std::uint16_t(k)});
                continue;
            }
            if (member.run != Member::noRun) {
                // A run of variants: the one with the segment's code, at k or after.
                const VariantRun &run = m_table.runs[member.run];
                const std::uint16_t match = variantAt(run, k);
                if (!nearest) {
                    nearest = Passed{depth, std::uint16_t(k)};
                    passedBefore = m_passed.size();
                }
                const std::size_t until = match != Member::noRun ? match : run.end;
                for (std::size_t i = k; i < until; ++i) {
                    if (members[i].required && counts[i] == 0)
                        m_passed.push_back({depth, std::uint16_t(i)});
                }
                if (match != Member::noRun) {
                    take(index, depth, match);
                    return;
                }
                k = run.end - 1;
                continue;
            }
            if (matches(member.isLoop ? m_table.firstSegment(m_table.loops[member.index])
                                      : m_table.segments[member.index],
                        tag)) {
                take(index, depth, std::uint16_t(k));
                return;
            }
            if (!nearest) {
                nearest = Passed{depth, std::uint16_t(k)};
                passedBefore = m_passed.size();
            }
            if (member.required && counts[k] == 0)
                m_passed.push_back({depth, std::uint16_t(k)});
        }
    }
    if (nearest) {
        // Where the guide has the tag under another qualifier: the segment is taken there, and
        // the check of its elements names the qualifier the guide does not list.
        m_passed.resize(passedBefore);
        take(index, nearest->depth, nearest->member);
        return;
    }
    notFound(index);
}

/// The first member of a run of variants, from `from` on, whose code the segment holds; noRun
/// when none does.
std::uint16_t GuideWalk::variantAt(const VariantRun &run, std::size_t from) const
{
    std::string_view value = valueAt(run.keyElement);
    if (run.keyComponent > 0) {
        const std::string_view separator =
            m_document.delimitersAt(std::uint32_t(m_segment.position() - 1)).component;
        value = separator.empty() ? value : value.substr(0, value.find(separator));
    }
    std::uint16_t best = Member::noRun;
    if (value.size() > keyedCodeSize) [[unlikely]] {
        auto it = std::ranges::lower_bound(run.codes, value, {},
                                           [](const auto &entry) { return entry.first; });
        for (; it != run.codes.end() && it->first == value; ++it) {
            if (it->second >= from && it->second < best)
                best = it->second;
        }
        return best;
    }
    const std::uint64_t key = codeKey(value);
    auto it =
        std::ranges::lower_bound(run.keys, key, {}, [](const auto &entry) { return entry.first; });
    for (; it != run.keys.end() && it->first == key; ++it) {
        if (it->second >= from && it->second < best)
            best = it->second;
    }
    return best;
}

/// Takes the segment as member `member` of the loop open at `depth`.
void GuideWalk::take(std::size_t index, std::size_t depth, std::uint16_t member)
{
    const Frame frame = m_frames[depth];
    const Member &taken = m_table.loops[frame.loop].members[member];
    if (!taken.isLoop && member == 0 && depth > 0) {
        // The segment that begins this loop: the loop repeats.
        const Loop &outer = m_table.loops[m_frames[depth - 1].loop];
        reportPassed(index, depth - 1, outer.members[frame.member].position);
        enterLoop(index, depth - 1, frame.member);
    } else {
        reportPassed(index, depth, taken.position);
        if (taken.isLoop)
            enterLoop(index, depth, member);
        else
            found(index, depth, member);
    }
    if (m_findings != nullptr && m_tagCode == packTag("HL"))
        checkNumbering(index, m_segment);
}

/// Closes the loops deeper than `depth`, moves the walk in the loop at `depth` to `member`, and
/// counts it; returns how often it has been found in this repeat of the loop.
std::uint32_t GuideWalk::advance(std::size_t depth, std::uint16_t member)
{
    closeFramesAbove(depth);
    Frame &frame = m_frames[depth];
    frame.at = m_table.loops[frame.loop].members[member].samePosition;
    return ++m_counts[frame.counts + member];
}

void GuideWalk::found(std::size_t index, std::size_t depth, std::uint16_t member)
{
    const std::uint32_t count = advance(depth, member);
    const std::uint16_t loop = m_frames[depth].loop;
    m_places[index] = depth == 0 ? 0 : loop;
    m_placedAny = m_placedAny || depth > 0;
    checkSegment(index, m_table.segments[m_table.loops[loop].members[member].index], count);
}

void GuideWalk::enterLoop(std::size_t index, std::size_t depth, std::uint16_t member)
{
    const std::uint32_t count = advance(depth, member);
    const std::uint16_t outer = m_frames[depth].loop; // openFrame may move the frames
    const Member &found = m_table.loops[outer].members[member];
    openFrame(found.index, member);
    m_counts[m_frames.back().counts] = 1;
    m_places[index] = std::uint16_t(found.index | beginsLoop);
    m_placedAny = true;
    if (m_findings == nullptr)
        return;
    const Loop &loop = m_table.loops[found.index];
    if (loop.repeat != 0 && count > loop.repeat)
        report(index, "4",
               "Loop " + std::string(loop.id) + " occurs " + times(count) + "; this guide allows " +
                   times(loop.repeat) + inLoop(m_table.loops[outer].id));
    if (m_tagCode == packTag("LX") && loop.id == "2400" && m_guide->set == "837") {
        const X12Segment &segment = m_segment;
        const std::string expected = std::to_string(count);
        if (segment.elementAt(1) != expected) {
            X12GuideFinding finding{X12Finding::Severity::error,
                                    std::uint32_t(index + 1),
                                    "LX01",
                                    loop.id,
                                    {},
                                    {},
                                    {},
                                    "LX01 \"" + std::string(segment.elementAt(1)) +
                                        "\" is out of sequence: the claim's service line " +
                                        expected};
            m_findings->push_back(std::move(finding));
        }
    }
    checkSegment(index, m_table.firstSegment(loop), 1);
}

void GuideWalk::reportPassed(std::size_t index, std::size_t depth, std::uint16_t position)
{
    if (m_findings == nullptr)
        return;
    for (const Passed &passed : m_passed) {
        const Loop &loop = m_table.loops[m_frames[passed.depth].loop];
        const Member &member = loop.members[passed.member];
        if (passed.depth == depth && member.position == position)
            continue; // it may still come
        std::string message;
        std::string_view tag;
        if (member.isLoop) {
            const Loop &missing = m_table.loops[member.index];
            tag = m_table.firstSegment(missing).tagText;
            message = "Required loop " + std::string(missing.id) + " (" +
                      std::string(missing.name) + ") is missing";
        } else {
            tag = m_table.segments[member.index].tagText;
            message = "Required segment " + std::string(tag) + " (" +
                      X12Dictionary::segmentName(tag) + ") is missing";
        }
        message +=
            loop.id.empty() ? " from the transaction set" : " from loop " + std::string(loop.id);
        X12GuideFinding finding{X12Finding::Severity::error,
                                std::uint32_t(index + 1),
                                {},
                                loop.id,
                                {},
                                "3",
                                {},
                                std::move(message),
                                tag};
        m_findings->push_back(std::move(finding));
    }
}

/// A segment found nowhere stays in the innermost open loop; the walk stands still.
void GuideWalk::notFound(std::size_t index)
{
    const std::size_t depth = m_frames.size() - 1;
    m_places[index] = depth == 0 ? 0 : m_frames[depth].loop;
    m_placedAny = m_placedAny || depth > 0;
    if (m_findings == nullptr)
        return;
    const std::string tag(X12Dictionary::quotedTag(m_tag));
    if (std::ranges::binary_search(m_guide->tags, m_tagCode))
        report(index, "2", tag + " is not expected here" + inLoop(openLoopID()));
    else
        report(index, "6",
               tag + " is not a segment of the " + std::string(m_guide->set) + " guide " +
                   std::string(m_guide->version));
}

void GuideWalk::checkSegment(std::size_t index, const SegmentRule &rule, std::uint32_t count)
{
    if (m_findings == nullptr)
        return;
    if (rule.usage == Usage::notUsed) {
        report(index, "I4",
               std::string(rule.tagText) + " is not used by this guide" + inLoop(openLoopID()));
        return;
    }
    if (rule.maxUse != 0 && count > rule.maxUse)
        report(index, "5",
               std::string(rule.tagText) + " occurs " + times(count) + inLoop(openLoopID()) +
                   "; this guide allows " + times(rule.maxUse));
    m_check->check(m_segment, m_tag, m_values, m_table.shapes[rule.shape], openLoopID(),
                   *m_findings);
    m_balancing.segment(std::uint32_t(index + 1), m_tagCode, m_values, openLoopID(), *m_findings);
}

/// HL01 numbers the HL segments of a set from 1; HL02 names an earlier one's HL01.
void GuideWalk::checkNumbering(std::size_t index, const X12Segment &segment)
{
    const std::uint32_t expected = ++m_hlCount;
    const std::string_view id = segment.elementAt(1);
    const std::string_view parent = segment.elementAt(2);
    // Compared as numbers, as pyx12 does: HL01 "01" is the first.
    auto number = [](std::string_view text) -> std::optional<std::uint64_t> {
        std::uint64_t value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (text.empty() || error != std::errc() || end != text.data() + text.size())
            return std::nullopt;
        return value;
    };
    auto add = [&](std::string element, std::string message) {
        X12GuideFinding finding{X12Finding::Severity::error,
                                std::uint32_t(index + 1),
                                std::move(element),
                                openLoopID(),
                                {},
                                {},
                                {},
                                std::move(message)};
        m_findings->push_back(std::move(finding));
    };
    const std::optional<std::uint64_t> idNumber = number(id);
    if (idNumber != expected)
        add("HL01", "HL01 \"" + std::string(id) + "\" is out of sequence: this is HL " +
                        std::to_string(expected) + " of the set");
    const std::optional<std::uint64_t> parentNumber = number(parent);
    if (!parent.empty() && !(parentNumber && m_hlIDs.contains(*parentNumber)))
        add("HL02", "HL02 \"" + std::string(parent) + "\" names no earlier HL of the set");
    if (idNumber)
        m_hlIDs.insert(*idNumber);
}

std::string_view GuideWalk::openLoopID() const noexcept
{
    return m_table.loops[m_frames.back().loop].id;
}

void GuideWalk::report(std::size_t index, std::string_view code, std::string message)
{
    X12GuideFinding finding{
        X12Finding::Severity::error, std::uint32_t(index + 1), {}, openLoopID(), {}, code, {},
        std::move(message)};
    m_findings->push_back(std::move(finding));
}

} // namespace kelvane::detail::guides
