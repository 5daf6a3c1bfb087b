// Fuzz target: the value formatters and code decoding. The first byte picks an element that has a
// date, time, amount or code list; the rest is the value, as it would stand in a file.

#include "FuzzCheck.h"

#include "core/dictionary/X12Dictionary.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

using fuzz::check;

namespace {

constexpr std::pair<std::string_view, std::ptrdiff_t> elements[] = {
    {"DTP", 3},  {"DTM", 2}, {"BHT", 4}, {"BHT", 5}, {"ISA", 9},  {"ISA", 10},
    {"GS", 4},   {"GS", 5},  {"CLM", 2}, {"CLP", 3}, {"BPR", 2},  {"SVC", 2},
    {"AMT", 2},  {"NM1", 1}, {"NM1", 8}, {"HL", 3},  {"CAS", 1},  {"REF", 1},
    {"ISA", 15}, {"AK9", 1}, {"ZZZ", 1}, {"NM1", 0}, {"NM1", -1}, {"CAS", 100},
};

void checkText(const std::optional<std::string> &text, const char *what)
{
    if (text)
        check(!text->empty() && reference::isUtf8(*text), what);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const auto &[tag, position] = elements[data[0] % std::size(elements)];
    const std::string_view value(reinterpret_cast<const char *>(data + 1), size - 1);
    // Values inside a document are always UTF-8; the formatters may assume it.
    if (!reference::isUtf8(value))
        return 0;

    checkText(X12Dictionary::formatDate(value), "formatted date");
    checkText(X12Dictionary::formatTime(value), "formatted time");
    checkText(X12Dictionary::formatAmount(value), "formatted amount");
    checkText(X12Dictionary::formatValue(tag, position, value), "formatted value");
    checkText(X12Dictionary::decode(tag, position, value), "decoded code");

    // The value as a segment tag: names and references must stay readable for any tag.
    check(reference::isUtf8(X12Dictionary::segmentName(value)), "segment name");
    check(reference::isUtf8(X12Dictionary::elementName(value, position)), "element name");
    check(reference::isUtf8(X12Dictionary::elementReference(value, position)), "element reference");
    check(reference::isUtf8(X12Dictionary::transactionSetName(value)), "transaction set name");
    return 0;
}
