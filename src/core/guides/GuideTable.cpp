#include "core/guides/GuideTable_p.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <utility>
#include <tuple>
#include <span>

namespace kelvane::detail {
/// The lines of data/guides.txt, comments left out, compiled into the binary.
std::span<const std::string_view> guideLines();
} // namespace kelvane::detail

namespace kelvane::detail::guides {

std::string_view withoutAddenda(std::string_view version) noexcept
{
    std::size_t end = version.size();
    while (end > 0 && version[end - 1] >= '0' && version[end - 1] <= '9')
        --end;
    if (end < version.size() && end > 0 && version[end - 1] == 'A')
        return version.substr(0, end - 1);
    return version;
}

bool GuideTable::longCodeIn(std::uint16_t list, std::string_view value) const noexcept
{
    return std::ranges::binary_search(codeLists[list], value);
}

namespace {

std::vector<std::string_view> fields(std::string_view line, std::size_t most, char separator = ' ')
{
    std::vector<std::string_view> result;
    while (!line.empty()) {
        if (result.size() + 1 == most) {
            result.push_back(line);
            break;
        }
        const std::size_t end = line.find(separator);
        result.push_back(line.substr(0, end));
        line = end == std::string_view::npos ? std::string_view() : line.substr(end + 1);
    }
    return result;
}

std::uint32_t number(std::string_view text)
{
    std::uint32_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

Usage usageOf(char letter)
{
    return letter == 'R' ? Usage::required : letter == 'S' ? Usage::situational : Usage::notUsed;
}

/// "N", or "<usage><type>/<min>/<max>[/<codes>]" such as "RID/2/3/12".
ElementRule simpleRule(std::string_view token)
{
    ElementRule rule;
    rule.usage = usageOf(token.empty() ? 'N' : token.front());
    if (rule.usage == Usage::notUsed)
        return rule;
    const std::vector<std::string_view> f = fields(token.substr(1), 5, '/');
    const std::string_view type = f[0];
    using Type = ElementRule::Type;
    if (type == "ID")
        rule.type = Type::identifier;
    else if (type == "DT")
        rule.type = Type::date;
    else if (type == "TM")
        rule.type = Type::time;
    else if (type == "R")
        rule.type = Type::decimal;
    else if (type == "B")
        rule.type = Type::binary;
    else if (type.size() == 2 && type[0] == 'N') {
        rule.type = Type::number;
        rule.decimals = std::uint8_t(type[1] - '0');
    }
    rule.minLength = f.size() > 1 ? std::uint16_t(number(f[1])) : 0;
    rule.maxLength = f.size() > 2 ? std::uint16_t(number(f[2])) : 0;
    rule.codes = f.size() > 3 ? std::uint16_t(number(f[3])) : 0;
    return rule;
}

/// The segments whose date or time element (data element 1251) follows the qualifier that gives
/// its format (data element 1250), and where that qualifier is.
struct FormattedDate
{
    std::uint32_t tag;      // packed
    std::uint8_t qualifier; // from 1; the value is the next element
};
constexpr FormattedDate formattedDates[] = {
    {packTag("DTP"), 2},  {packTag("DTM"), 5}, {packTag("DMG"), 1},
    {packTag("INS"), 11}, {packTag("CR6"), 3}, {packTag("CR6"), 15},
    {packTag("DN2"), 4},  {packTag("MPI"), 6}, {packTag("PAT"), 5}};

/// The token without its "*<n>" suffix, and how often it lets the element occur: <n>, 0 for ">1"
/// (no limit), 1 without a suffix.
std::pair<std::string_view, std::uint8_t> withoutRepeats(std::string_view token)
{
    const std::size_t star = token.rfind('*');
    if (star == std::string_view::npos)
        return {token, 1};
    const std::string_view count = token.substr(star + 1);
    const std::uint32_t repeats = count == ">1" ? 0 : number(count);
    return {token.substr(0, star), std::uint8_t(repeats > 255 ? 0 : repeats)};
}

/// A `shape` line's element rules and syntax rules; f[0] is the segment's tag.
Shape readShape(std::span<const std::string_view> f)
{
    Shape shape;
    std::size_t dates = 0;
    for (const FormattedDate &date : formattedDates) {
        if (date.tag == packTag(f[0]) && dates < shape.dateFormats.size())
            shape.dateFormats[dates++] = date.qualifier;
    }
    if (f.size() > 1 && f[1] != "-") {
        for (const std::string_view text : fields(f[1], 64, ',')) {
            SyntaxRule rule{text.front(), {}, text};
            for (std::size_t i = 1; i + 1 < text.size(); i += 2)
                rule.elements.push_back(std::uint8_t(number(text.substr(i, 2))));
            shape.syntax.push_back(std::move(rule));
        }
    }
    for (std::size_t i = 2; i < f.size(); ++i) {
        const auto [token, repeats] = withoutRepeats(f[i]);
        if (token.size() < 2 || token[1] != '{') {
            shape.elements.push_back(token == "-" ? ElementRule{} : simpleRule(token));
            shape.elements.back().repeats = repeats;
            continue;
        }
        ElementRule composite;
        composite.repeats = repeats;
        composite.usage = usageOf(token.front());
        composite.firstComponent = std::uint16_t(shape.components.size());
        for (const std::string_view part : fields(token.substr(2, token.size() - 3), 64, ','))
            shape.components.push_back(simpleRule(part));
        composite.componentCount = std::uint8_t(shape.components.size() - composite.firstComponent);
        for (std::size_t k = 0; k < composite.componentCount; ++k) {
            if (shape.components[composite.firstComponent + k].usage == Usage::required)
                composite.requiredComponents = std::uint8_t(k + 1);
        }
        shape.elements.push_back(composite);
    }
    for (std::size_t i = 0; i < shape.elements.size(); ++i) {
        if (shape.elements[i].usage == Usage::required)
            shape.requiredEnd = i + 1;
    }
    return shape;
}

/// "01", "03" or "01-1": the element and the component (0 for none) of a variant's qualifier.
std::pair<std::uint8_t, std::uint8_t> elementAndComponent(std::string_view text)
{
    const std::size_t dash = text.find('-');
    return {std::uint8_t(number(text.substr(0, dash))),
            dash == std::string_view::npos ? std::uint8_t(0)
                                           : std::uint8_t(number(text.substr(dash + 1)))};
}

SegmentRule readSegment(std::span<const std::string_view> f)
{
    SegmentRule rule;
    rule.tagText = f[1];
    rule.tag = packTag(f[1]);
    rule.position = std::uint16_t(number(f[2]));
    rule.usage = usageOf(f[3].front());
    rule.maxUse = number(f[4]);
    rule.shape = std::uint16_t(number(f[5]));
    if (f.size() >= 8) {
        std::tie(rule.keyElement, rule.keyComponent) = elementAndComponent(f[6]);
        rule.keyCodes = std::uint16_t(number(f[7]));
    }
    return rule;
}

/// Orders each loop's members by position, a segment before a loop at equal positions, and notes
/// where each run of equal positions begins.
const SegmentRule &ruleOf(const GuideTable &table, const Member &member)
{
    return member.isLoop ? table.firstSegment(table.loops[member.index])
                         : table.segments[member.index];
}

/// Notes each run of three or more members in a row that share a tag and the element their
/// qualifier is in (the DTP, REF or NM1 of a claim), with their codes, so that the walk finds
/// the variant of a segment by its code instead of trying each in turn.
void findVariantRuns(GuideTable &table, Loop &loop)
{
    std::vector<Member> &members = loop.members;
    for (std::size_t first = 0; first < members.size();) {
        const SegmentRule &rule = ruleOf(table, members[first]);
        std::size_t end = first + 1;
        while (end < members.size() && rule.keyElement != 0) {
            const SegmentRule &next = ruleOf(table, members[end]);
            if (next.tag != rule.tag || next.keyElement != rule.keyElement ||
                next.keyComponent != rule.keyComponent)
                break;
            ++end;
        }
        if (end - first >= 3) {
            VariantRun run{std::uint16_t(first),
                           std::uint16_t(end),
                           rule.keyElement,
                           rule.keyComponent,
                           {},
                           {}};
            for (std::size_t k = first; k < end; ++k) {
                for (const std::string_view code :
                     table.codeLists[ruleOf(table, members[k]).keyCodes])
                    run.codes.emplace_back(code, std::uint16_t(k));
                members[k].run = std::uint16_t(table.runs.size());
            }
            std::ranges::sort(run.codes);
            for (const auto &[code, member] : run.codes)
                run.keys.emplace_back(codeKey(code), member);
            std::ranges::sort(run.keys);
            table.runs.push_back(std::move(run));
        }
        first = end;
    }
}

void orderMembers(GuideTable &table)
{
    for (Loop &loop : table.loops) {
        std::stable_sort(
            loop.members.begin(), loop.members.end(), [](const Member &a, const Member &b) {
                return a.position != b.position ? a.position < b.position : !a.isLoop && b.isLoop;
            });
        for (Member &member : loop.members) {
            const SegmentRule &rule = ruleOf(table, member);
            member.tag = rule.tag;
            member.required =
                (member.isLoop ? table.loops[member.index].usage : rule.usage) == Usage::required;
        }
        for (std::size_t i = 0; i < loop.members.size(); ++i) {
            const bool same = i > 0 && loop.members[i - 1].position == loop.members[i].position;
            loop.members[i].samePosition =
                same ? loop.members[i - 1].samePosition : std::uint16_t(i);
        }
        findVariantRuns(table, loop);
    }
}

GuideTable readTable()
{
    GuideTable table;
    std::vector<std::uint16_t> open; // the loops of the current guide from its top inwards
    for (const std::string_view line : kelvane::detail::guideLines()) {
        const std::vector<std::string_view> f = fields(line, line.starts_with("loop ") ? 7 : 512);
        if (f[0] == "codes" && f.size() >= 2) {
            table.codeLists.emplace_back(f.begin() + 2, f.end());
            std::ranges::sort(table.codeLists.back());
            std::vector<std::uint64_t> &keys = table.codeKeys.emplace_back();
            for (const std::string_view code : table.codeLists.back()) {
                if (code.size() <= keyedCodeSize)
                    keys.push_back(codeKey(code));
            }
            std::ranges::sort(keys);
        } else if (f[0] == "shape" && f.size() >= 3) {
            table.shapes.push_back(readShape(std::span(f).subspan(2)));
        } else if (f[0] == "guide" && f.size() >= 4) {
            Guide guide;
            guide.version = f[1];
            guide.set = f[2];
            if (f.size() == 7) {
                guide.selectorTag = packTag(f[4]);
                guide.selectorElement = number(f[5]);
                guide.selectorCode = f[6];
            }
            guide.top = std::uint16_t(table.loops.size());
            if (!table.guides.empty())
                std::ranges::sort(table.guides.back().tags);
            table.loops.emplace_back();
            table.guides.push_back(guide);
            open.assign(1, guide.top);
        } else if (f[0] == "loop" && f.size() == 7 && !open.empty()) {
            while (open.size() > 1 && table.loops[open.back()].id != f[2])
                open.pop_back();
            const auto number = std::uint16_t(table.loops.size());
            Loop loop;
            loop.id = f[1];
            loop.position = std::uint16_t(::kelvane::detail::guides::number(f[3]));
            loop.usage = usageOf(f[4].front());
            loop.repeat = ::kelvane::detail::guides::number(f[5]);
            loop.name = f[6];
            table.loops[open.back()].members.push_back(
                {.isLoop = true, .index = number, .position = loop.position});
            table.loops.push_back(std::move(loop));
            open.push_back(number);
        } else if (f[0] == "seg" && f.size() >= 6 && !open.empty()) {
            const auto index = std::uint16_t(table.segments.size());
            table.segments.push_back(readSegment(f));
            table.guides.back().tags.push_back(table.segments.back().tag);
            table.loops[open.back()].members.push_back(
                {.isLoop = false, .index = index, .position = table.segments.back().position});
        } else if (f[0] == "end") {
            open.clear();
        }
    }
    if (!table.guides.empty())
        std::ranges::sort(table.guides.back().tags);
    orderMembers(table);
    assert(table.loops.size() < 0x8000);
    return table;
}

} // namespace

const GuideTable &guideTable()
{
    static const GuideTable table = readTable();
    return table;
}

} // namespace kelvane::detail::guides
