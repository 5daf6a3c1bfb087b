#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

// The implementation guides as data/guides.txt describes them, read once from the copy compiled
// into the program. Its grammar is described at the top of that file.

namespace kelvane::detail::guides {

enum class Usage : std::uint8_t { required, situational, notUsed };

/// A tag of two or three characters as one number, so that comparing tags is comparing numbers.
/// Every other text gives 0, which no guide uses.
constexpr std::uint32_t packTag(std::string_view tag) noexcept
{
    if (tag.size() < 2 || tag.size() > 3)
        return 0;
    std::uint32_t packed = std::uint32_t(tag.size()) << 24;
    for (std::size_t i = 0; i < tag.size(); ++i)
        packed |= std::uint32_t(static_cast<unsigned char>(tag[i])) << (8 * i);
    return packed;
}

/// The version without its addenda: "005010X222A1" gives "005010X222".
std::string_view withoutAddenda(std::string_view version) noexcept;

/// A code of up to seven bytes as one number, its length in the top byte, so that looking a value
/// up among codes compares numbers; a longer code's number holds its first seven bytes only.
inline std::uint64_t codeKey(std::string_view code) noexcept
{
    const std::size_t size = code.size() < 255 ? code.size() : 255;
    const char *const p = code.data();
    std::uint64_t bytes = 0;
    if constexpr (std::endian::native == std::endian::little) {
        // Two loads that overlap where the code is not of their size: the second one's bytes
        // past the first's are shifted into place.
        const auto load = [](const char *at, auto word) {
            std::memcpy(&word, at, sizeof word);
            return std::uint64_t(word);
        };
        if (size >= 8)
            bytes = load(p, std::uint64_t()) & 0x00FF'FFFF'FFFF'FFFF;
        else if (size >= 4)
            bytes = load(p, std::uint32_t()) |
                    load(p + size - 4, std::uint32_t()) >> (8 * (8 - size)) << 32;
        else if (size >= 2)
            bytes = load(p, std::uint16_t()) |
                    load(p + size - 2, std::uint16_t()) >> (8 * (4 - size)) << 16;
        else if (size == 1)
            bytes = static_cast<unsigned char>(p[0]);
    } else {
        for (std::size_t i = 0; i < size && i < 7; ++i)
            bytes |= std::uint64_t(static_cast<unsigned char>(p[i])) << (8 * i);
    }
    return bytes | std::uint64_t(size) << 56;
}
/// The most bytes a code can have for its key to be the whole code.
constexpr std::size_t keyedCodeSize = 7;

/// What the guide asks of one element or component.
struct ElementRule
{
    enum class Type : std::uint8_t { text, identifier, date, time, decimal, number, binary };

    Usage usage = Usage::notUsed;
    Type type = Type::text;
    std::uint8_t decimals = 0; // implied decimals of a number (N2: 2)
    std::uint16_t minLength = 0;
    std::uint16_t maxLength = 0;
    std::uint16_t codes = 0;             // code list number, 0 when the guide lists none
    std::uint16_t firstComponent = 0;    // a composite's components, in Shape::components
    std::uint8_t componentCount = 0;     // 0 for a simple element
    std::uint8_t requiredComponents = 0; // a composite's: one past its last required component
    std::uint8_t repeats = 1;            // how often the element may occur; 0 without a limit
};

/// A syntax rule between the elements of a segment: P0809, C1110...
struct SyntaxRule
{
    char kind;                          // P, R, C, E or L
    std::vector<std::uint8_t> elements; // positions from 1, in the rule's order
    std::string_view text;              // as written: "P0809"
};

/// The element rules of a segment, shared by every variant that has the same ones.
struct Shape
{
    std::vector<ElementRule> elements;   // for positions 1, 2...
    std::vector<ElementRule> components; // of the composites
    std::vector<SyntaxRule> syntax;
    // The positions, from 1, of the elements whose code gives the format of the date or time in
    // the element after them (DTP02 "D8" makes DTP03 a date); 0 for none.
    std::array<std::uint8_t, 2> dateFormats{};
    // How many of the elements a segment must have to have every required one: one past the last
    // required element.
    std::size_t requiredEnd = 0;
};

/// A segment of a loop. A segment the guide tells apart by a qualifier (REF*EI and REF*SY) has a
/// variant each, told apart by the code list of one element or component.
struct SegmentRule
{
    std::uint32_t tag = 0;
    std::string_view tagText;
    std::uint16_t position = 0;
    Usage usage = Usage::situational;
    std::uint32_t maxUse = 0; // 0 when unbounded
    std::uint16_t shape = 0;
    std::uint8_t keyElement = 0; // 0 when the tag alone tells the variant
    std::uint8_t keyComponent = 0;
    std::uint16_t keyCodes = 0;
};

/// A member of a loop: one of its segments or one of its child loops.
struct Member
{
    bool isLoop;
    bool required = false;          // the segment or loop must be there
    std::uint16_t index;            // into GuideTable::segments or GuideTable::loops
    std::uint16_t position;         // in the loop
    std::uint16_t samePosition = 0; // the first member of the loop with the same position
    std::uint32_t tag = 0;          // of the segment, or of the segment that begins the loop
    std::uint16_t run = noRun;      // the run of variants it is in, in GuideTable::runs

    static constexpr std::uint16_t noRun = 0xFFFF;
};

/// Members in a row of a loop that share a tag and the element of their qualifier: the variants
/// of a segment (DTP*431, DTP*454...). Their codes, sorted, with the member each belongs to.
struct VariantRun
{
    std::uint16_t first;
    std::uint16_t end;
    std::uint8_t keyElement;
    std::uint8_t keyComponent;
    std::vector<std::pair<std::string_view, std::uint16_t>> codes;
    std::vector<std::pair<std::uint64_t, std::uint16_t>> keys; // codeKey of each code, sorted
};

struct Loop
{
    std::string_view id; // empty for the level of the transaction set itself
    std::string_view name;
    Usage usage = Usage::required;
    std::uint32_t repeat = 0; // 0 when unbounded
    std::uint16_t position = 0;
    std::vector<Member> members; // in position order; a loop's first member is its first segment
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
    std::uint16_t top = 0;           // the loop number of the set's own level
    std::vector<std::uint32_t> tags; // of all its segments, sorted
};

struct GuideTable
{
    std::vector<Loop> loops{Loop{}}; // loop number 0 stands for "in no loop"
    std::vector<SegmentRule> segments;
    std::vector<Shape> shapes{Shape{}};
    std::vector<std::vector<std::string_view>> codeLists{{}}; // each sorted
    std::vector<std::vector<std::uint64_t>> codeKeys{{}};     // codeKey of each code, sorted
    std::vector<VariantRun> runs;
    std::vector<Guide> guides;

    /// Whether `value` is in code list `list`.
    bool listHolds(std::uint16_t list, std::string_view value) const noexcept
    {
        if (value.size() > keyedCodeSize) [[unlikely]]
            return longCodeIn(list, value);
        const std::vector<std::uint64_t> &keys = codeKeys[list];
        const std::uint64_t key = codeKey(value);
        if (keys.size() <= 8) { // most lists: a few short qualifiers
            for (const std::uint64_t code : keys) {
                if (code == key)
                    return true;
            }
            return false;
        }
        return std::binary_search(keys.begin(), keys.end(), key);
    }
    /// The first segment rule of a loop: the segment that begins it.
    const SegmentRule &firstSegment(const Loop &loop) const noexcept
    {
        return segments[loop.members.front().index];
    }

private:
    bool longCodeIn(std::uint16_t list, std::string_view value) const noexcept;
};

const GuideTable &guideTable();

} // namespace kelvane::detail::guides
