#include "core/parse/ByteCounts_p.h"

#include "core/support/Simd_p.h"

namespace kelvane::detail {

std::size_t countOccurrences(std::string_view text, std::string_view needle) noexcept
{
    if (needle.empty())
        return 0;
    if (needle.size() == 1)
        return countOccurrences(text, needle, needle).first;
    std::size_t count = 0;
    for (std::size_t at = text.find(needle); at != std::string_view::npos;
         at = text.find(needle, at + needle.size()))
        ++count;
    return count;
}

std::pair<std::size_t, std::size_t> countOccurrences(std::string_view text, std::string_view first,
                                                     std::string_view second) noexcept
{
    if (first.size() != 1 || second.size() != 1)
        return {countOccurrences(text, first), countOccurrences(text, second)};
    const char a = first.front();
    const char b = second.front();
    std::size_t countA = 0;
    std::size_t countB = 0;
    std::size_t i = 0;
    // Byte-wide counters, summed up before any of them can overflow; a match is 0xFF, minus one.
    using V = simd::Native;
    const V::Bytes targetA = V::splat(std::uint8_t(a));
    const V::Bytes targetB = V::splat(std::uint8_t(b));
    while (i + simd::width <= text.size()) {
        V::Bytes countersA = V::zero();
        V::Bytes countersB = V::zero();
        for (int round = 0; round < 255 && i + simd::width <= text.size();
             ++round, i += simd::width) {
            const V::Bytes bytes = V::load(text.data() + i);
            countersA = V::subtract(countersA, V::equal(bytes, targetA));
            countersB = V::subtract(countersB, V::equal(bytes, targetB));
        }
        countA += V::sum(countersA);
        countB += V::sum(countersB);
    }
    for (; i < text.size(); ++i) {
        countA += text[i] == a;
        countB += text[i] == b;
    }
    return {countA, countB};
}

bool isPlainAscii(std::string_view text) noexcept
{
    std::size_t i = 0;
    using V = simd::Native;
    for (; i + simd::width <= text.size(); i += simd::width) {
        const V::Bytes bytes = V::load(text.data() + i);
        // Bytes from 0x80 have their top bit set already.
        if (V::topBits(V::either(bytes, V::equal(bytes, V::splat('\r')))) != 0)
            return false;
    }
    for (; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80 || c == '\r')
            return false;
    }
    return true;
}

} // namespace kelvane::detail
