#include "core/parse/ByteCounts_p.h"

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
#if defined(__SSE2__)
    const __m128i targetA = _mm_set1_epi8(a);
    const __m128i targetB = _mm_set1_epi8(b);
    while (i + 16 <= text.size()) {
        __m128i countersA = _mm_setzero_si128();
        __m128i countersB = _mm_setzero_si128();
        for (int round = 0; round < 255 && i + 16 <= text.size(); ++round, i += 16) {
            const __m128i bytes =
                _mm_loadu_si128(reinterpret_cast<const __m128i *>(text.data() + i));
            countersA = _mm_sub_epi8(countersA, _mm_cmpeq_epi8(bytes, targetA));
            countersB = _mm_sub_epi8(countersB, _mm_cmpeq_epi8(bytes, targetB));
        }
        countA += sumOfBytes(countersA);
        countB += sumOfBytes(countersB);
    }
#endif
    for (; i < text.size(); ++i) {
        countA += text[i] == a;
        countB += text[i] == b;
    }
    return {countA, countB};
}

bool isPlainAscii(std::string_view text) noexcept
{
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r');
    for (; i + 16 <= text.size(); i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text.data() + i));
        if (_mm_movemask_epi8(_mm_or_si128(bytes, _mm_cmpeq_epi8(bytes, cr))) != 0)
            return false;
    }
#endif
    for (; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80 || c == '\r')
            return false;
    }
    return true;
}

} // namespace kelvane::detail
