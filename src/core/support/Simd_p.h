#pragma once

// Sixteen bytes at a time: the few operations the byte scans are written with, in two forms with
// one interface. Scalar is plain C++ and the reference the tests hold the other to; Sse2 uses the
// x86-64 baseline's instructions. Scans use Native, which is Sse2 where the target has it, unless
// the build turns SIMD off (KELVANE_NO_SIMD); both forms are compiled wherever SSE2 exists, so the
// tests run both.
//
// A byte set "everywhere true" is 0xFF; a comparison gives 0xFF or 0x00 per byte.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kelvane::simd {

inline constexpr std::size_t width = 16;

struct Scalar
{
    struct Bytes
    {
        std::array<std::uint8_t, width> b;
    };

    static Bytes load(const void *p) noexcept
    {
        Bytes r;
        std::memcpy(r.b.data(), p, width);
        return r;
    }
    static Bytes splat(std::uint8_t c) noexcept
    {
        Bytes r;
        r.b.fill(c);
        return r;
    }
    static Bytes zero() noexcept { return splat(0); }

    static Bytes equal(Bytes x, Bytes y) noexcept
    {
        return each(x, y, [](unsigned a, unsigned b) { return a == b ? 0xFFu : 0u; });
    }
    static Bytes either(Bytes x, Bytes y) noexcept
    {
        return each(x, y, [](unsigned a, unsigned b) { return a | b; });
    }
    static Bytes both(Bytes x, Bytes y) noexcept
    {
        return each(x, y, [](unsigned a, unsigned b) { return a & b; });
    }
    /// x and not y.
    static Bytes butNot(Bytes x, Bytes y) noexcept
    {
        return each(x, y, [](unsigned a, unsigned b) { return a & ~b; });
    }
    /// Byte sums and differences wrap around.
    static Bytes add(Bytes x, Bytes y) noexcept
    {
        return each(x, y, [](unsigned a, unsigned b) { return a + b; });
    }
    static Bytes subtract(Bytes x, Bytes y) noexcept
    {
        return each(x, y, [](unsigned a, unsigned b) { return a - b; });
    }
    /// x − y, or 0 where y is larger (bytes unsigned).
    static Bytes subtractFloored(Bytes x, Bytes y) noexcept
    {
        return each(x, y, [](unsigned a, unsigned b) { return a > b ? a - b : 0u; });
    }
    static Bytes max(Bytes x, Bytes y) noexcept
    {
        return each(x, y, [](unsigned a, unsigned b) { return a > b ? a : b; });
    }
    /// Bit i is the top bit of byte i.
    static std::uint32_t topBits(Bytes x) noexcept
    {
        std::uint32_t mask = 0;
        for (std::size_t i = 0; i < width; ++i)
            mask |= std::uint32_t(x.b[i] >> 7) << i;
        return mask;
    }
    /// The sum of the sixteen bytes, taken as unsigned.
    static std::uint32_t sum(Bytes x) noexcept
    {
        std::uint32_t total = 0;
        for (const std::uint8_t byte : x.b)
            total += byte;
        return total;
    }

private:
    template <class Op>
    static Bytes each(Bytes x, Bytes y, Op op) noexcept
    {
        Bytes r;
        for (std::size_t i = 0; i < width; ++i)
            r.b[i] = std::uint8_t(op(x.b[i], y.b[i]));
        return r;
    }
};

#if defined(__SSE2__)
struct Sse2
{
    using Bytes = __m128i;

    static Bytes load(const void *p) noexcept
    {
        return _mm_loadu_si128(static_cast<const __m128i *>(p));
    }
    static Bytes splat(std::uint8_t c) noexcept { return _mm_set1_epi8(char(c)); }
    static Bytes zero() noexcept { return _mm_setzero_si128(); }
    static Bytes equal(Bytes x, Bytes y) noexcept { return _mm_cmpeq_epi8(x, y); }
    static Bytes either(Bytes x, Bytes y) noexcept { return _mm_or_si128(x, y); }
    static Bytes both(Bytes x, Bytes y) noexcept { return _mm_and_si128(x, y); }
    static Bytes butNot(Bytes x, Bytes y) noexcept { return _mm_andnot_si128(y, x); }
    static Bytes add(Bytes x, Bytes y) noexcept { return _mm_add_epi8(x, y); }
    static Bytes subtract(Bytes x, Bytes y) noexcept { return _mm_sub_epi8(x, y); }
    static Bytes subtractFloored(Bytes x, Bytes y) noexcept { return _mm_subs_epu8(x, y); }
    static Bytes max(Bytes x, Bytes y) noexcept { return _mm_max_epu8(x, y); }
    static std::uint32_t topBits(Bytes x) noexcept { return std::uint32_t(_mm_movemask_epi8(x)); }
    static std::uint32_t sum(Bytes x) noexcept
    {
        // Sums of absolute differences from zero: one sum per half.
        const __m128i halves = _mm_sad_epu8(x, _mm_setzero_si128());
        return std::uint32_t(_mm_cvtsi128_si32(halves)) +
               std::uint32_t(_mm_cvtsi128_si32(_mm_unpackhi_epi64(halves, halves)));
    }
};
#endif

#if defined(__SSE2__) && !defined(KELVANE_NO_SIMD)
using Native = Sse2;
#else
using Native = Scalar;
#endif

/// 0xFF where a byte, taken as unsigned, is below `limit` (at least 1).
template <class V>
typename V::Bytes below(typename V::Bytes bytes, std::uint8_t limit) noexcept
{
    const typename V::Bytes top = V::splat(std::uint8_t(limit - 1));
    return V::equal(V::max(bytes, top), top);
}

/// 0xFF where a byte equals any of `targets`.
template <class V, class... More>
typename V::Bytes equalsAny(typename V::Bytes bytes, std::uint8_t target, More... more) noexcept
{
    typename V::Bytes hits = V::equal(bytes, V::splat(target));
    ((hits = V::either(hits, V::equal(bytes, V::splat(std::uint8_t(more))))), ...);
    return hits;
}

} // namespace kelvane::simd
