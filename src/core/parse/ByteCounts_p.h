#pragma once

// Counting passes over the bytes of a text, sixteen at a time, for the parser to size its tables
// and choose its paths before it cuts the text.

#include <cstddef>
#include <string_view>
#include <utility>

namespace kelvane::detail {

/// How many times a delimiter occurs in the text: a cheap upper bound for reserving.
std::size_t countOccurrences(std::string_view text, std::string_view needle) noexcept;

/// How many times each of two delimiters occurs in the text, both counted in one pass when each is
/// one byte, with byte-wide counters summed up before any of them can overflow.
std::pair<std::size_t, std::size_t> countOccurrences(std::string_view text, std::string_view first,
                                                     std::string_view second) noexcept;

/// Whether every byte is ASCII other than CR, so that every byte is one character.
bool isPlainAscii(std::string_view text) noexcept;

} // namespace kelvane::detail
