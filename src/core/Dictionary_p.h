#pragma once

// Building blocks of the dictionary's texts that write into a caller's buffer, so the tree builder
// and the JSON writer compose millions of texts without a temporary string for each.

#include "core/X12Dictionary.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

class X12Segment;

namespace kelvane::detail {

/// One row of a constant table the dictionary's maps are built from.
struct Entry
{
    std::string_view key;
    std::string_view value;
};

template <std::size_t N>
X12Dictionary::NameTable makeTable(const std::array<Entry, N> &entries)
{
    X12Dictionary::NameTable table;
    table.reserve(N);
    for (const Entry &entry : entries)
        table.emplace(entry.key, entry.value);
    return table;
}

/// Each appends the formatted value and returns true, or leaves `out` as it was and returns false.
bool appendDate(std::string &out, std::string_view value);
bool appendTime(std::string &out, std::string_view value);
bool appendAmount(std::string &out, std::string_view value);
bool appendFormattedValue(std::string &out, std::string_view tag, std::ptrdiff_t position,
                          std::string_view value);

enum class Formatter : std::uint8_t { none, date, time, amount };
bool appendFormatted(std::string &out, Formatter formatter, std::string_view value);

/// How the elements of one segment tag are shown: entry p is for position p (entry 0 unused).
struct ElementRule
{
    Formatter formatter = Formatter::none;
    const X12Dictionary::CodeList *codes = nullptr;
};
/// The rules of a tag, or an empty span for a tag without formatted or coded elements.
std::span<const ElementRule> elementRules(std::string_view tag);

/// The meaning of a code in a list, pointing into the list's static text.
std::optional<std::string_view> meaning(const X12Dictionary::CodeList &list, std::string_view code);
std::optional<std::string_view> decodedValue(std::string_view tag, std::ptrdiff_t position,
                                             std::string_view value);

/// The element's name from the table, or nothing where the element reference stands in for it.
std::optional<std::string_view> tableElementName(std::string_view tag, std::ptrdiff_t position);
/// The tag as element references show it. A tag longer than any real one (a file without element
/// separators is one tag) is cut to its first 32 bytes and "…", so that a reference made for each
/// of millions of elements stays small.
void appendReferenceTag(std::string &out, std::string_view tag);
void appendElementReference(std::string &out, std::string_view tag, std::ptrdiff_t position);
void appendElementName(std::string &out, std::string_view tag, std::ptrdiff_t position);

void appendSegmentName(std::string &out, std::string_view tag);
void appendSegmentSubtitle(std::string &out, const X12Segment &segment);
void appendLoopTitle(std::string &out, const X12Segment &segment);
void appendLoopSubtitle(std::string &out, const X12Segment &segment);
void appendEnvelopeSubtitle(std::string &out, const X12Segment &segment);
void appendPersonName(std::string &out, const X12Segment &segment);

} // namespace kelvane::detail
