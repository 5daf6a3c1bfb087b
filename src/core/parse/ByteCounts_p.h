#pragma once

// Counting passes over the bytes of a text, sixteen at a time where SSE2 is there, for the
// parser to size its tables and choose its paths before it cuts the text.

#include <cstddef>
#include <string_view>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kelvane::detail {

#if defined(__SSE2__)
/// The sum of sixteen byte-wide counters.
inline std::size_t sumOfBytes(__m128i counters) noexcept
{
    const __m128i sums = _mm_sad_epu8(counters, _mm_setzero_si128());
    return std::size_t(_mm_cvtsi128_si32(sums)) +
           std::size_t(_mm_cvtsi128_si32(_mm_unpackhi_epi64(sums, sums)));
}
#endif

/// How many times a delimiter occurs in the text: a cheap upper bound for reserving.
std::size_t countOccurrences(std::string_view text, std::string_view needle) noexcept;

/// How many times each of two delimiters occurs in the text, both counted in one pass when each is
/// one byte, with byte-wide counters summed up before any of them can overflow.
std::pair<std::size_t, std::size_t> countOccurrences(std::string_view text, std::string_view first,
                                                     std::string_view second) noexcept;

/// Whether every byte is ASCII other than CR, so that every byte is one character.
bool isPlainAscii(std::string_view text) noexcept;

} // namespace kelvane::detail
