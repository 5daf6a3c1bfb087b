#include "core/guides/ElementCheck_p.h"

#include "core/dictionary/X12Dictionary.h"
#include "core/support/Simd_p.h"
#include "core/text/VisibleText.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <span>

namespace kelvane::detail::guides {

namespace {

using Type = ElementRule::Type;

bool isDigit(char c) noexcept
{
    return c >= '0' && c <= '9';
}

bool allDigits(std::string_view text) noexcept
{
    return !text.empty() && std::ranges::all_of(text, isDigit);
}

int twoDigits(std::string_view text, std::size_t at) noexcept
{
    return (text[at] - '0') * 10 + (text[at + 1] - '0');
}

/// What one pass over a value finds.
struct Scan
{
    // Characters, not bytes: a byte that continues a UTF-8 character is not counted. The sign
    // and the decimal point of a number are not counted either.
    std::size_t length = 0;
    bool control = false;  // a control character
    bool repeated = false; // the first byte of the repetition separator
};

/// What each byte is, for the scan: a byte that continues a UTF-8 character, a control
/// character, a sign or decimal point.
constexpr std::uint8_t continuesByte = 1;
constexpr std::uint8_t controlByte = 2;
constexpr std::uint8_t numberPunctuation = 4;
constexpr auto byteClasses = [] {
    std::array<std::uint8_t, 256> classes{};
    for (std::size_t byte = 0; byte < 256; ++byte) {
        if ((byte & 0xC0) == 0x80)
            classes[byte] |= continuesByte;
        if (byte < 0x20 || byte == 0x7F)
            classes[byte] |= controlByte;
        if (byte == '-' || byte == '.')
            classes[byte] |= numberPunctuation;
    }
    return classes;
}();

/// Whether a byte of the eight is below 0x20, 0x7F or above, or the repetition byte given in each
/// of the eight bytes of `repetition`. (Which byte it is, the arithmetic does not tell: a borrow or
/// a carry can mark its neighbour too, but only beside a byte that is marked anyway.)
bool unusualWord(std::uint64_t word, std::uint64_t repetition) noexcept
{
    constexpr std::uint64_t ones = 0x0101010101010101;
    constexpr std::uint64_t tops = 0x8080808080808080;
    const std::uint64_t control = (word - ones * 0x20) & ~word;
    const std::uint64_t upper = (word + ones) | word;
    const std::uint64_t other = word ^ repetition;
    const std::uint64_t repeated = (other - ones) & ~other;
    return ((control | upper | repeated) & tops) != 0;
}

template <typename Word>
std::uint64_t load(const char *at) noexcept
{
    Word word;
    std::memcpy(&word, at, sizeof word);
    return word;
}

/// Whether any byte of a text is a control character, not ASCII, or the first byte of the
/// repetition separator: sixteen or eight bytes at a time, in blocks that overlap where the text
/// is not a multiple of their size long (a byte looked at twice changes no answer).
bool unusualBytes(std::string_view value, char repetition) noexcept
{
    if (value.empty())
        return false;
    const char *const p = value.data();
    const std::size_t n = value.size();
    if (n >= simd::width) { // a whole segment, mostly: sixteen bytes at a time
        using V = simd::Native;
        const V::Bytes space = V::splat(0x20);
        const V::Bytes printable = V::splat(0x7E - 0x20);
        const V::Bytes repeated = V::splat(static_cast<unsigned char>(repetition));
        const auto unusual = [&](const char *at) {
            const V::Bytes bytes = V::load(at);
            // Less 0x20, a printable byte is at most 0x5E; a control character wraps around.
            const V::Bytes outside = V::subtractFloored(V::subtract(bytes, space), printable);
            const V::Bytes marked = V::either(outside, V::equal(bytes, repeated));
            return V::topBits(V::equal(marked, V::zero())) != 0xFFFF;
        };
        for (std::size_t i = 0; i + simd::width < n; i += simd::width) {
            if (unusual(p + i))
                return true;
        }
        return unusual(p + n - simd::width);
    }
    const std::uint64_t each =
        std::uint64_t{0x0101010101010101} * static_cast<unsigned char>(repetition);
    if (n >= 8) {
        for (std::size_t i = 0; i + 8 < n; i += 8) {
            if (unusualWord(load<std::uint64_t>(p + i), each))
                return true;
        }
        return unusualWord(load<std::uint64_t>(p + n - 8), each);
    }
    std::uint64_t word = 0;
    if (n >= 4) {
        word = std::uint64_t{load<std::uint32_t>(p)} | std::uint64_t{load<std::uint32_t>(p + n - 4)}
                                                           << 32;
    } else {
        const std::uint64_t half =
            n >= 2 ? std::uint64_t{load<std::uint16_t>(p)} |
                         std::uint64_t{load<std::uint16_t>(p + n - 2)} << 16
                   : std::uint64_t{0x01010101} * static_cast<unsigned char>(p[0]);
        word = half | half << 32;
    }
    return unusualWord(word, each);
}

Scan scan(std::string_view value, Type type, char repetition) noexcept
{
    const bool numeric = type == Type::number || type == Type::decimal;
    // Most values are printable ASCII without a repetition separator: one cheap pass tells.
    Scan result;
    if (!unusualBytes(value, repetition)) {
        result.length = value.size();
        if (numeric)
            result.length -= std::size_t(
                std::ranges::count_if(value, [](char c) { return c == '-' || c == '.'; }));
        return result;
    }
    std::size_t continuing = 0;
    std::size_t punctuation = 0;
    std::uint8_t seen = 0;
    bool repeated = false;
    for (const char c : value) {
        const std::uint8_t kind = byteClasses[static_cast<unsigned char>(c)];
        seen |= kind;
        continuing += kind & continuesByte;
        punctuation += (kind & numberPunctuation) >> 2;
        repeated |= c == repetition;
    }
    result.length = value.size() - continuing - (numeric ? punctuation : 0);
    result.control = (seen & controlByte) != 0;
    result.repeated = repetition != '\0' && repeated;
    return result;
}

/// The value in quotes, cut after 40 bytes.
std::string quoted(std::string_view value)
{
    const std::string_view shown = VisibleText::cut(value, 40);
    std::string text = "\"";
    text += shown;
    text += shown.size() < value.size() ? "…\"" : "\"";
    return text;
}

/// The codes of a list for a message: all of them up to eight, else the first eight and "…".
std::string someCodes(const std::vector<std::string_view> &codes)
{
    std::string text;
    for (std::size_t i = 0; i < codes.size() && i < 8; ++i) {
        if (i > 0)
            text += ", ";
        text += codes[i];
    }
    if (codes.size() > 8)
        text += ", …";
    return text;
}

std::string characters(std::size_t count)
{
    return std::to_string(count) + (count == 1 ? " character" : " characters");
}

void add(std::vector<X12GuideFinding> &findings, const X12Segment &segment, std::string element,
         std::string_view loop, std::string_view code, std::string message,
         X12Finding::Severity severity = X12Finding::Severity::error)
{
    X12GuideFinding finding{severity,
                            std::uint32_t(segment.position()),
                            std::move(element),
                            loop,
                            {},
                            {},
                            code,
                            std::move(message)};
    findings.push_back(std::move(finding));
}

/// Whether the value names the same guide as a code of the list, but for the addenda: ST03
/// "005010X279" where the guide (005010X279A1) lists its own version. A set is checked against
/// the guide with addenda when Kelvane has no other, and an earlier edition is no error here.
bool isGuideVersion(const std::vector<std::string_view> &codes, std::string_view value) noexcept
{
    const bool version = value.size() > 7 && value.starts_with("00") && value[6] == 'X';
    return version && std::ranges::any_of(codes, [value](std::string_view code) {
               return withoutAddenda(code) == withoutAddenda(value);
           });
}

std::string_view formatName(std::string_view format) noexcept
{
    if (format == "D6")
        return "a date (YYMMDD)";
    if (format == "RD8")
        return "a range of dates (CCYYMMDD-CCYYMMDD)";
    if (format == "DT")
        return "a date and time (CCYYMMDDHHMM)";
    if (format == "TM")
        return "a time (HHMM)";
    return "a date (CCYYMMDD)";
}

/// Whether a value is written as its format qualifier says; true for a qualifier not known.
bool hasFormat(std::string_view format, std::string_view value) noexcept
{
    if (format == "D8")
        return value.size() == 8 && isDate(value);
    if (format == "D6")
        return value.size() == 6 && isDate(value);
    if (format == "RD8") {
        const std::size_t dash = value.find('-');
        return dash == 8 && value.size() == 17 && isDate(value.substr(0, 8)) &&
               isDate(value.substr(9));
    }
    if (format == "DT")
        return value.size() == 12 && isDate(value.substr(0, 8)) && isTime(value.substr(8));
    if (format == "TM")
        return isTime(value);
    return true;
}

/// Where a delimiter is in a value, from `from` on; npos when it is not there or is empty. A
/// delimiter of one byte, as most are, is looked for a byte at a time: values are short.
std::size_t findDelimiter(std::string_view value, std::string_view delimiter,
                          std::size_t from = 0) noexcept
{
    if (delimiter.size() == 1) {
        for (std::size_t i = from; i < value.size(); ++i) {
            if (value[i] == delimiter.front())
                return i;
        }
        return std::string_view::npos;
    }
    return delimiter.empty() ? std::string_view::npos : value.find(delimiter, from);
}

/// Whether a value is written as its type asks. Spaces that pad a text to its minimum length are
/// no fault (pyx12 agrees).
bool isOfType(const ElementRule &rule, std::string_view value) noexcept
{
    switch (rule.type) {
    case Type::number:
        return isNumber(value);
    case Type::decimal:
        return isDecimal(value);
    case Type::date:
        return isDate(value);
    case Type::time:
        return isTime(value);
    case Type::text:
    case Type::identifier: {
        if (value.back() != ' ')
            return true;
        const std::size_t last = value.find_last_not_of(' ');
        return last == std::string_view::npos || last + 1 < rule.minLength;
    }
    case Type::binary:
        break;
    }
    return true;
}

} // namespace

std::string ElementCheck::Place::reference(const X12Segment &segment) const
{
    std::string text = X12Dictionary::elementReference(segment.tag(), std::ptrdiff_t(element));
    if (component > 0)
        text += "-" + std::to_string(component);
    return text;
}

std::string ElementCheck::Place::label(const X12Segment &segment) const
{
    std::string text = reference(segment);
    if (component > 0)
        return text;
    const std::string name = X12Dictionary::elementName(segment.tag(), std::ptrdiff_t(element));
    if (name != text)
        text += " (" + name + ")";
    return text;
}

bool isNumber(std::string_view value) noexcept
{
    if (value.starts_with('-'))
        value.remove_prefix(1);
    return allDigits(value);
}

bool isDecimal(std::string_view value) noexcept
{
    // [-]digits[.digits][E[-]digits], with a digit before the exponent.
    std::size_t i = value.starts_with('-') ? 1 : 0;
    std::size_t digits = 0;
    bool point = false;
    for (; i < value.size(); ++i) {
        const char c = value[i];
        if (isDigit(c))
            ++digits;
        else if (c == '.' && !point)
            point = true;
        else if (c == 'E' && digits > 0)
            return isNumber(value.substr(i + 1));
        else
            return false;
    }
    return digits > 0;
}

bool isDate(std::string_view value) noexcept
{
    if (!allDigits(value) || (value.size() != 8 && value.size() != 6))
        return false;
    int year = 0;
    if (value.size() == 8)
        year = twoDigits(value, 0) * 100 + twoDigits(value, 2);
    else
        year = 2000 + twoDigits(value, 0); // leap years of the two centuries agree but for 1900
    const std::size_t at = value.size() - 4;
    const int month = twoDigits(value, at);
    const int day = twoDigits(value, at + 2);
    static constexpr int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || day > days[month - 1])
        return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month != 2 || day != 29 || leap || value.size() == 6;
}

bool isTime(std::string_view value) noexcept
{
    if (!allDigits(value) || value.size() < 4 || value.size() == 5 || value.size() > 8)
        return false;
    return twoDigits(value, 0) <= 23 && twoDigits(value, 2) <= 59 &&
           (value.size() < 6 || twoDigits(value, 4) <= 59);
}

ElementCheck::ElementCheck(const GuideTable &table, const X12Delimiters &delimiters)
    : m_table(table), m_component(delimiters.component), m_repetition(delimiters.repetition),
      m_repetitionByte(m_repetition.empty() ? '\0' : m_repetition.front())
{
}

/// Whether a value passes every check of its rule on the path most values take: printable ASCII
/// without the repetition separator, of a length the rule allows, a code of its list, of its
/// type. A value that does not goes to examine(), which tells what is wrong, if anything.
[[gnu::always_inline]] inline bool
ElementCheck::passes(const ElementRule &rule, std::string_view value, bool plain) const noexcept
{
    if (rule.usage == Usage::notUsed || (!plain && unusualBytes(value, m_repetitionByte)))
        return false;
    std::size_t length = value.size();
    if (rule.type == Type::number || rule.type == Type::decimal)
        length -=
            std::size_t(std::ranges::count_if(value, [](char c) { return c == '-' || c == '.'; }));
    return length >= rule.minLength && (rule.maxLength == 0 || length <= rule.maxLength) &&
           (rule.codes == 0 || m_table.listHolds(rule.codes, value)) && isOfType(rule, value);
}

inline void ElementCheck::checkValue(const X12Segment &segment, const ElementRule &rule,
                                     std::string_view value, Place place, std::string_view loop,
                                     bool plain, std::vector<X12GuideFinding> &findings) const
{
    if (value.empty()) {
        if (rule.usage == Usage::required) [[unlikely]]
            report(segment, rule, value, place, loop, Problem::missing, findings);
        return;
    }
    if (!passes(rule, value, plain)) [[unlikely]]
        examine(segment, rule, value, place, loop, findings);
}

void ElementCheck::check(const X12Segment &segment, std::string_view tag,
                         std::span<const std::string_view> values, const Shape &shape,
                         std::string_view loop, std::vector<X12GuideFinding> &findings) const
{
    const std::size_t count = values.size();
    // A segment without a control character, a byte beyond ASCII or the repetition separator
    // has no value with one: most segments need no look at each value for them.
    const bool plain = !unusualBytes(segment.raw(), m_repetitionByte);
    // Past the elements the segment has, only a required one matters: it is missing.
    const std::size_t end = std::max(std::min(count, shape.elements.size()), shape.requiredEnd);
    for (std::size_t i = 0; i < end; ++i) {
        const ElementRule &rule = shape.elements[i];
        const std::string_view value = i < count ? values[i] : std::string_view();
        if (rule.componentCount > 0 && rule.usage != Usage::notUsed) {
            checkComposite(segment, shape, rule, i + 1, value, loop, plain, findings);
        } else if (!value.empty() || rule.usage == Usage::required) {
            checkValue(segment, rule, value, {i + 1, 0}, loop, plain, findings);
        }
    }
    for (std::size_t i = shape.elements.size(); i < count; ++i) {
        if (values[i].empty())
            continue;
        add(findings, segment, X12Dictionary::elementReference(tag, std::ptrdiff_t(i + 1)), loop,
            "3",
            std::string(X12Dictionary::quotedTag(tag)) + " has " + std::to_string(count) +
                " elements; this guide defines " + std::to_string(shape.elements.size()));
        break;
    }
    for (const SyntaxRule &rule : shape.syntax)
        checkSyntax(segment, values, rule, loop, findings);
    if (shape.dateFormats.front() != 0)
        checkFormattedDates(segment, shape, values, loop, findings);
}

void ElementCheck::checkFormattedDates(const X12Segment &segment, const Shape &shape,
                                       std::span<const std::string_view> values,
                                       std::string_view loop,
                                       std::vector<X12GuideFinding> &findings) const
{
    for (const std::uint8_t qualifier : shape.dateFormats) {
        if (qualifier == 0)
            break;
        const std::string_view format =
            qualifier <= values.size() ? values[qualifier - 1] : std::string_view();
        const std::string_view value =
            qualifier < values.size() ? values[qualifier] : std::string_view();
        if (value.empty() || hasFormat(format, value))
            continue;
        const std::string reference = X12Dictionary::elementReference(segment.tag(), qualifier + 1);
        add(findings, segment, reference, loop, format == "TM" ? "9" : "8",
            reference + " " + quoted(value) + " is not " + std::string(formatName(format)) +
                ", as " + X12Dictionary::elementReference(segment.tag(), qualifier) + " \"" +
                std::string(format) + "\" calls for");
    }
}

void ElementCheck::checkComposite(const X12Segment &segment, const Shape &shape,
                                  const ElementRule &rule, std::size_t position,
                                  std::string_view value, std::string_view loop, bool plain,
                                  std::vector<X12GuideFinding> &findings) const
{
    if (value.empty()) {
        if (rule.usage == Usage::required)
            add(findings, segment, Place{position, 0}.reference(segment), loop, "1",
                Place{position, 0}.label(segment) + " is required by this guide and is empty");
        return;
    }
    // A composite that repeats is checked a repetition at a time, up to the first with a finding.
    if (findDelimiter(value, m_repetition) != std::string_view::npos) {
        checkRepeats(segment, rule, value, {position, 0}, loop, findings);
        const std::size_t before = findings.size();
        for (std::size_t start = 0; start <= value.size() && findings.size() == before;) {
            std::size_t end = value.find(m_repetition, start);
            if (end == std::string_view::npos)
                end = value.size();
            if (end > start)
                checkComposite(segment, shape, rule, position, value.substr(start, end - start),
                               loop, plain, findings);
            start = end + m_repetition.size();
        }
        return;
    }
    const auto reference = [&] { return Place{position, 0}.reference(segment); };
    std::size_t index = 0;
    while (true) {
        const std::size_t end = findDelimiter(value, m_component);
        const std::string_view part = value.substr(0, end);
        if (index < rule.componentCount) {
            checkValue(segment, shape.components[rule.firstComponent + index], part,
                       {position, index + 1}, loop, plain, findings);
        } else if (!part.empty() || end != std::string_view::npos) {
            add(findings, segment, reference() + "-" + std::to_string(index + 1), loop, "13",
                reference() + " has more components than the " +
                    std::to_string(rule.componentCount) + " this guide defines");
            return;
        }
        ++index;
        if (end == std::string_view::npos)
            break;
        value.remove_prefix(end + m_component.size());
    }
    for (; index < rule.requiredComponents; ++index) {
        if (shape.components[rule.firstComponent + index].usage == Usage::required)
            add(findings, segment, reference() + "-" + std::to_string(index + 1), loop, "1",
                reference() + "-" + std::to_string(index + 1) +
                    " is required by this guide and is empty");
    }
}

/// The findings of a value that is not empty and did not pass on the common path.
void ElementCheck::examine(const X12Segment &segment, const ElementRule &rule,
                           std::string_view value, Place place, std::string_view loop,
                           std::vector<X12GuideFinding> &findings) const
{
    if (rule.usage == Usage::notUsed) {
        report(segment, rule, value, place, loop, Problem::notUsed, findings);
        return;
    }
    const Scan found = scan(value, rule.type, m_repetitionByte);
    if (found.repeated && value.find(m_repetition) != std::string_view::npos) {
        checkRepetitions(segment, rule, value, place, loop, findings);
        return;
    }
    if (found.length < rule.minLength || (rule.maxLength > 0 && found.length > rule.maxLength))
        report(segment, rule, value, place, loop, Problem::length, findings, found.length);
    if (found.control) {
        report(segment, rule, value, place, loop, Problem::control, findings);
        return;
    }
    if (rule.codes != 0 && !m_table.listHolds(rule.codes, value) &&
        !isGuideVersion(m_table.codeLists[rule.codes], value)) {
        report(segment, rule, value, place, loop, Problem::code, findings);
        return;
    }
    if (!isOfType(rule, value))
        report(segment, rule, value, place, loop, Problem::type, findings);
}

/// A value that repeats is checked a repetition at a time, up to the first with a finding: one
/// value of a million repetitions gives no million findings.
void ElementCheck::checkRepetitions(const X12Segment &segment, const ElementRule &rule,
                                    std::string_view value, Place place, std::string_view loop,
                                    std::vector<X12GuideFinding> &findings) const
{
    checkRepeats(segment, rule, value, place, loop, findings);
    const std::size_t before = findings.size();
    for (std::size_t start = 0; start <= value.size() && findings.size() == before;) {
        std::size_t end = value.find(m_repetition, start);
        if (end == std::string_view::npos)
            end = value.size();
        if (end > start)
            checkValue(segment, rule, value.substr(start, end - start), place, loop, false,
                       findings);
        start = end + m_repetition.size();
    }
}

/// Whether a value that holds the repetition separator repeats more often than its element may:
/// an element the guide does not let repeat occurs once.
void ElementCheck::checkRepeats(const X12Segment &segment, const ElementRule &rule,
                                std::string_view value, Place place, std::string_view loop,
                                std::vector<X12GuideFinding> &findings) const
{
    std::size_t count = 1;
    for (std::size_t at = value.find(m_repetition); at != std::string_view::npos;
         at = value.find(m_repetition, at + m_repetition.size()))
        ++count;
    if (rule.repeats != 0 && count > rule.repeats)
        report(segment, rule, value, place, loop, Problem::repeats, findings, count);
}

/// Composes the finding of a value, away from the path of values that pass.
void ElementCheck::report(const X12Segment &segment, const ElementRule &rule,
                          std::string_view value, Place place, std::string_view loop,
                          Problem problem, std::vector<X12GuideFinding> &findings,
                          std::size_t length) const
{
    std::string element = place.reference(segment);
    if (problem == Problem::missing) {
        add(findings, segment, std::move(element), loop, "1",
            place.label(segment) + " is required by this guide and is empty");
        return;
    }
    std::string message = element + " " + quoted(value) + " ";
    std::string_view code;
    auto severity = X12Finding::Severity::error;
    switch (problem) {
    case Problem::missing:
    case Problem::notUsed:
        code = "I10";
        message += "is not used by this guide";
        break;
    case Problem::length:
        code = length < rule.minLength ? "4" : "5";
        message += length < rule.minLength ? "is too short: " + characters(length) + ", at least " +
                                                 std::to_string(rule.minLength)
                                           : "is too long: " + characters(length) + ", at most " +
                                                 std::to_string(rule.maxLength);
        break;
    case Problem::control:
        code = "6";
        message += "holds a control character";
        break;
    case Problem::repeats:
        code = "12";
        message += "has too many repetitions: " + std::to_string(length) + ", at most " +
                   std::to_string(rule.repeats);
        break;
    case Problem::code:
        code = "7";
        message += "is not a code of this guide here; it takes " +
                   someCodes(m_table.codeLists[rule.codes]);
        break;
    case Problem::type:
        switch (rule.type) {
        case Type::number:
            code = "6";
            message += "is not a whole number";
            break;
        case Type::decimal:
            code = "6";
            message += "is not a decimal number";
            break;
        case Type::date:
            code = "8";
            message += "is not a valid date";
            break;
        case Type::time:
            code = "9";
            message += "is not a valid time";
            break;
        default:
            code = "6";
            message += "ends in spaces";
            severity = X12Finding::Severity::warning;
            break;
        }
        break;
    }
    add(findings, segment, std::move(element), loop, code, std::move(message), severity);
}

void ElementCheck::checkSyntax(const X12Segment &segment, std::span<const std::string_view> values,
                               const SyntaxRule &rule, std::string_view loop,
                               std::vector<X12GuideFinding> &findings) const
{
    auto present = [&](std::uint8_t position) {
        return position >= 1 && position <= values.size() && !values[position - 1].empty();
    };
    auto reference = [&](std::uint8_t position) {
        return X12Dictionary::elementReference(segment.tag(), position);
    };
    auto list = [&](auto first, auto last, std::string_view conjunction = " or ") {
        std::string text;
        for (auto it = first; it != last; ++it) {
            if (!text.empty())
                text += it + 1 == last ? conjunction : ", ";
            text += reference(*it);
        }
        return text;
    };
    const std::vector<std::uint8_t> &e = rule.elements;
    if (e.empty())
        return;
    const std::size_t used = std::size_t(std::ranges::count_if(e, present));
    auto report = [&](std::uint8_t at, std::string_view code, std::string message) {
        X12GuideFinding finding{X12Finding::Severity::error,
                                std::uint32_t(segment.position()),
                                reference(at),
                                loop,
                                rule.text,
                                {},
                                code,
                                std::move(message)};
        findings.push_back(std::move(finding));
    };
    const auto firstMissing = std::ranges::find_if_not(e, present);
    switch (rule.kind) {
    case 'P':
        if (used > 0 && used < e.size())
            report(*firstMissing, "2",
                   list(e.begin(), e.end(), " and ") +
                       " are used together: " + reference(*firstMissing) + " is missing");
        break;
    case 'R':
        if (used == 0)
            report(e.front(), "2", "At least one of " + list(e.begin(), e.end()) + " is required");
        break;
    case 'E':
        if (used > 1) {
            const auto second =
                std::find_if(std::ranges::find_if(e, present) + 1, e.end(), present);
            report(*second, "10", "Only one of " + list(e.begin(), e.end()) + " may be used");
        }
        break;
    case 'C':
        if (present(e.front()) && firstMissing != e.end())
            report(*firstMissing, "2",
                   reference(e.front()) + " requires " + list(e.begin() + 1, e.end(), " and ") +
                       ": " + reference(*firstMissing) + " is missing");
        break;
    case 'L':
        if (present(e.front()) && e.size() > 1 && std::none_of(e.begin() + 1, e.end(), present))
            report(e[1], "2",
                   reference(e.front()) + " requires at least one of " +
                       list(e.begin() + 1, e.end()));
        break;
    default:
        break;
    }
}

} // namespace kelvane::detail::guides
