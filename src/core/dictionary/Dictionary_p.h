#pragma once

// Building blocks of the dictionary's texts that write into a caller's buffer, so the tree builder
// and the JSON writer compose millions of texts without a temporary string for each.

#include "core/dictionary/X12Dictionary.h"
#include "core/text/VisibleText.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

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

/// What a QuotedPieceLimit sets on its thread.
inline thread_local std::size_t t_pieceLimit = std::size_t(-1);

/// The piece as a composed text quotes it: whole, or its first bytes under a QuotedPieceLimit.
inline std::string_view limitedPiece(std::string_view piece) noexcept
{
    return VisibleText::cut(piece, t_pieceLimit);
}

/// Each appends the formatted value and returns true, or leaves `out` as it was and returns false.
bool appendDate(std::string &out, std::string_view value);
bool appendTime(std::string &out, std::string_view value);
bool appendAmount(std::string &out, std::string_view value);
enum class Formatter : std::uint8_t { none, date, time, amount };
bool appendFormatted(std::string &out, Formatter formatter, std::string_view value);
/// Element reference (DTP03) to the formatter of its values.
const std::unordered_map<std::string_view, Formatter> &formatters();

/// The meaning of a code in a list, pointing into the list's static text.
std::optional<std::string_view> meaning(const X12Dictionary::CodeList &list, std::string_view code);

void appendSegmentName(std::string &out, std::string_view tag);
void appendSegmentTitle(std::string &out, std::string_view tag);
void appendSegmentSubtitle(std::string &out, const X12Segment &segment);
void appendLoopTitle(std::string &out, const X12Segment &segment);
void appendLoopSubtitle(std::string &out, const X12Segment &segment);
void appendEnvelopeSubtitle(std::string &out, const X12Segment &segment);
void appendPersonName(std::string &out, const X12Segment &segment);

} // namespace kelvane::detail
