#include "core/guides/ElementCheck_p.h"

#include "core/dictionary/X12Dictionary.h"
#include "core/text/VisibleText.h"

#include <algorithm>
#include <array>
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

Scan scan(std::string_view value, Type type, char repetition) noexcept
{
    const bool numeric = type == Type::number || type == Type::decimal;
    // Most values are printable ASCII without a repetition separator: one cheap pass tells.
    bool unusual = false;
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        unusual |= (byte < 0x20) | (byte >= 0x7F) | (c == repetition);
    }
    Scan result;
    if (!unusual) {
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

/// The segments whose date or time element (data element 1251) follows the qualifier that gives
/// its format (data element 1250): DTP02 "D8" makes DTP03 a date.
struct FormattedDate
{
    std::uint32_t tag;      // packed
    std::uint8_t qualifier; // from 1; the value is the next element
};
constexpr FormattedDate formattedDates[] = {
    {packTag("DTP"), 2},  {packTag("DTM"), 5}, {packTag("DMG"), 1},
    {packTag("INS"), 11}, {packTag("CR6"), 3}, {packTag("CR6"), 15},
    {packTag("DN2"), 4},  {packTag("MPI"), 6}, {packTag("PAT"), 5}};

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
    : m_table(table), m_component(delimiters.component), m_repetition(delimiters.repetition)
{
}

void ElementCheck::check(const X12Segment &segment, std::string_view tag,
                         std::span<const std::string_view> values, const Shape &shape,
                         std::string_view loop, std::vector<X12GuideFinding> &findings) const
{
    const std::size_t count = values.size();
    for (std::size_t i = 0; i < shape.elements.size(); ++i) {
        const ElementRule &rule = shape.elements[i];
        const std::string_view value = i < count ? values[i] : std::string_view();
        if (rule.componentCount > 0 && rule.usage != Usage::notUsed) {
            checkComposite(segment, shape, rule, i + 1, value, loop, findings);
        } else if (!value.empty() || rule.usage == Usage::required) {
            checkValue(segment, rule, value, {i + 1, 0}, loop, findings);
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
    checkFormattedDates(segment, tag, values, loop, findings);
}

void ElementCheck::checkFormattedDates(const X12Segment &segment, std::string_view tag,
                                       std::span<const std::string_view> values,
                                       std::string_view loop,
                                       std::vector<X12GuideFinding> &findings) const
{
    const std::uint32_t code = packTag(tag);
    for (const FormattedDate &date : formattedDates) {
        if (code != date.tag)
            continue;
        const std::string_view format =
            date.qualifier <= values.size() ? values[date.qualifier - 1] : std::string_view();
        const std::string_view value =
            date.qualifier < values.size() ? values[date.qualifier] : std::string_view();
        if (value.empty() || hasFormat(format, value))
            continue;
        const std::string reference =
            X12Dictionary::elementReference(segment.tag(), date.qualifier + 1);
        add(findings, segment, reference, loop, format == "TM" ? "9" : "8",
            reference + " " + quoted(value) + " is not " + std::string(formatName(format)) +
                ", as " + X12Dictionary::elementReference(segment.tag(), date.qualifier) + " \"" +
                std::string(format) + "\" calls for");
    }
}

void ElementCheck::checkComposite(const X12Segment &segment, const Shape &shape,
                                  const ElementRule &rule, std::size_t position,
                                  std::string_view value, std::string_view loop,
                                  std::vector<X12GuideFinding> &findings) const
{
    if (value.empty()) {
        if (rule.usage == Usage::required)
            add(findings, segment, Place{position, 0}.reference(segment), loop, "1",
                Place{position, 0}.label(segment) + " is required by this guide and is empty");
        return;
    }
    // A composite that repeats is checked a repetition at a time, up to the first with a finding.
    if (!m_repetition.empty() && value.find(m_repetition) != std::string_view::npos) {
        const std::size_t before = findings.size();
        for (std::size_t start = 0; start <= value.size() && findings.size() == before;) {
            std::size_t end = value.find(m_repetition, start);
            if (end == std::string_view::npos)
                end = value.size();
            if (end > start)
                checkComposite(segment, shape, rule, position, value.substr(start, end - start),
                               loop, findings);
            start = end + m_repetition.size();
        }
        return;
    }
    const auto reference = [&] { return Place{position, 0}.reference(segment); };
    std::size_t index = 0;
    while (true) {
        const std::size_t end =
            m_component.empty() ? std::string_view::npos : value.find(m_component);
        const std::string_view part = value.substr(0, end);
        if (index < rule.componentCount) {
            checkValue(segment, shape.components[rule.firstComponent + index], part,
                       {position, index + 1}, loop, findings);
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
    for (; index < rule.componentCount; ++index) {
        if (shape.components[rule.firstComponent + index].usage == Usage::required)
            add(findings, segment, reference() + "-" + std::to_string(index + 1), loop, "1",
                reference() + "-" + std::to_string(index + 1) +
                    " is required by this guide and is empty");
    }
}

inline void ElementCheck::checkValue(const X12Segment &segment, const ElementRule &rule,
                                     std::string_view value, Place place, std::string_view loop,
                                     std::vector<X12GuideFinding> &findings) const
{
    if (value.empty()) {
        if (rule.usage == Usage::required) [[unlikely]]
            report(segment, rule, value, place, loop, Problem::missing, findings);
        return;
    }
    if (rule.usage == Usage::notUsed) [[unlikely]] {
        report(segment, rule, value, place, loop, Problem::notUsed, findings);
        return;
    }
    const Scan found = scan(value, rule.type, m_repetition.empty() ? '\0' : m_repetition.front());
    if (found.repeated && value.find(m_repetition) != std::string_view::npos) [[unlikely]] {
        checkRepetitions(segment, rule, value, place, loop, findings);
        return;
    }
    if (found.length < rule.minLength || (rule.maxLength > 0 && found.length > rule.maxLength))
        [[unlikely]]
        report(segment, rule, value, place, loop, Problem::length, findings, found.length);
    if (found.control) [[unlikely]] {
        report(segment, rule, value, place, loop, Problem::control, findings);
        return;
    }
    if (rule.codes != 0 && !m_table.listHolds(rule.codes, value) &&
        !isGuideVersion(m_table.codeLists[rule.codes], value)) [[unlikely]] {
        report(segment, rule, value, place, loop, Problem::code, findings);
        return;
    }
    bool typed = true;
    switch (rule.type) {
    case Type::number:
        typed = isNumber(value);
        break;
    case Type::decimal:
        typed = isDecimal(value);
        break;
    case Type::date:
        typed = isDate(value);
        break;
    case Type::time:
        typed = isTime(value);
        break;
    case Type::text:
    case Type::identifier:
        // Spaces that pad a value to its minimum length are no fault (pyx12 agrees).
        typed = value.back() != ' ' || value.find_last_not_of(' ') == std::string_view::npos ||
                value.find_last_not_of(' ') + 1 < rule.minLength;
        break;
    case Type::binary:
        break;
    }
    if (!typed) [[unlikely]]
        report(segment, rule, value, place, loop, Problem::type, findings);
}

/// A value that repeats is checked a repetition at a time, up to the first with a finding: one
/// value of a million repetitions gives no million findings.
void ElementCheck::checkRepetitions(const X12Segment &segment, const ElementRule &rule,
                                    std::string_view value, Place place, std::string_view loop,
                                    std::vector<X12GuideFinding> &findings) const
{
    const std::size_t before = findings.size();
    for (std::size_t start = 0; start <= value.size() && findings.size() == before;) {
        std::size_t end = value.find(m_repetition, start);
        if (end == std::string_view::npos)
            end = value.size();
        if (end > start)
            checkValue(segment, rule, value.substr(start, end - start), place, loop, findings);
        start = end + m_repetition.size();
    }
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
