#pragma once

#include "core/guides/GuideTable_p.h"
#include "core/guides/X12GuideLoops.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane::detail::guides {

/// Checks the elements of one segment against the element rules its guide gives it: usage,
/// length, type, codes, composites and the syntax rules between elements. External code lists
/// (states, countries, diagnosis and procedure codes) are not checked.
class ElementCheck
{
public:
    ElementCheck(const GuideTable &table, const X12Delimiters &delimiters);

    /// Appends what `segment`, whose tag is `tag`, breaks of `shape` to `findings`, each with
    /// `loop` as its loop.
    void check(const X12Segment &segment, std::string_view tag,
               std::span<const std::string_view> values, const Shape &shape, std::string_view loop,
               std::vector<X12GuideFinding> &findings) const;

private:
    /// Where a value is: its element from 1, its component from 1 (0 for a simple element).
    struct Place
    {
        std::size_t element;
        std::size_t component;
        /// "CLM05-1", "NM109".
        std::string reference(const X12Segment &segment) const;
        /// The reference, and the element's name when the dictionary has one: "NM109
        /// (Identification Code)".
        std::string label(const X12Segment &segment) const;
    };

    enum class Problem : std::uint8_t { missing, notUsed, length, control, code, type, repeats };

    /// `plain`: the segment is known to have no control character, no byte beyond ASCII and no
    /// repetition separator.
    bool passes(const ElementRule &rule, std::string_view value, bool plain) const noexcept;
    void checkValue(const X12Segment &segment, const ElementRule &rule, std::string_view value,
                    Place place, std::string_view loop, bool plain,
                    std::vector<X12GuideFinding> &findings) const;
    [[gnu::noinline]] void examine(const X12Segment &segment, const ElementRule &rule,
                                   std::string_view value, Place place, std::string_view loop,
                                   std::vector<X12GuideFinding> &findings) const;
    void checkRepeats(const X12Segment &segment, const ElementRule &rule, std::string_view value,
                      Place place, std::string_view loop,
                      std::vector<X12GuideFinding> &findings) const;
    [[gnu::noinline]] void checkRepetitions(const X12Segment &segment, const ElementRule &rule,
                                            std::string_view value, Place place,
                                            std::string_view loop,
                                            std::vector<X12GuideFinding> &findings) const;
    [[gnu::noinline]] void report(const X12Segment &segment, const ElementRule &rule,
                                  std::string_view value, Place place, std::string_view loop,
                                  Problem problem, std::vector<X12GuideFinding> &findings,
                                  std::size_t length = 0) const;
    void checkComposite(const X12Segment &segment, const Shape &shape, const ElementRule &rule,
                        std::size_t position, std::string_view value, std::string_view loop,
                        bool plain, std::vector<X12GuideFinding> &findings) const;
    void checkFormattedDates(const X12Segment &segment, const Shape &shape,
                             std::span<const std::string_view> values, std::string_view loop,
                             std::vector<X12GuideFinding> &findings) const;
    void checkSyntax(const X12Segment &segment, std::span<const std::string_view> values,
                     const SyntaxRule &rule, std::string_view loop,
                     std::vector<X12GuideFinding> &findings) const;

    const GuideTable &m_table;
    std::string m_component; // copies: the walk adjusts the delimiters it hands over
    std::string m_repetition;
    char m_repetitionByte; // its first byte, or 0 for none
};

/// Whether an element value is of a type: a number of digits, a decimal number, a date, a time.
bool isNumber(std::string_view value) noexcept;
bool isDecimal(std::string_view value) noexcept;
bool isDate(std::string_view value) noexcept;
bool isTime(std::string_view value) noexcept;

} // namespace kelvane::detail::guides
