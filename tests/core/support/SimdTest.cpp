// The byte kernels in both forms against a byte-at-a-time reference, and the element table's
// sixteen-at-a-time prefix sum against the elements split by hand.

#include "core/parse/X12Parser.h"
#include "core/support/Simd_p.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

using kelvane::simd::width;
using Block = std::array<std::uint8_t, width>;

template <class V>
Block stored(typename V::Bytes bytes)
{
    // Scalar::Bytes and __m128i are both sixteen plain bytes.
    static_assert(sizeof(bytes) == width);
    Block out;
    std::memcpy(out.data(), &bytes, width);
    return out;
}

template <class Op>
Block each(const Block &x, const Block &y, Op op)
{
    Block out;
    for (std::size_t i = 0; i < width; ++i)
        out[i] = std::uint8_t(op(unsigned(x[i]), unsigned(y[i])));
    return out;
}

/// Blocks that hold every byte value, equal and unequal pairs, and the extremes.
std::vector<Block> sampleBlocks()
{
    std::vector<Block> blocks;
    for (unsigned start = 0; start < 256; start += width) {
        Block b;
        for (std::size_t i = 0; i < width; ++i)
            b[i] = std::uint8_t(start + i);
        blocks.push_back(b);
    }
    static constexpr std::array<std::uint8_t, 11> edges{0x00, 0x1F, 0x20, 0x7F, 0x80, 0xC2,
                                                        0xFF, ',',  '"',  '~',  '*'};
    std::mt19937 random(7);
    for (int n = 0; n < 200; ++n) {
        Block b;
        for (auto &byte : b)
            byte = std::uint8_t(random() % 4 == 0 ? edges[random() % edges.size()] : random());
        blocks.push_back(b);
    }
    return blocks;
}

template <class V>
class SimdTest : public testing::Test
{
};

#if defined(__SSE2__)
using Forms = testing::Types<kelvane::simd::Scalar, kelvane::simd::Sse2>;
#else
using Forms = testing::Types<kelvane::simd::Scalar>;
#endif
TYPED_TEST_SUITE(SimdTest, Forms);

TYPED_TEST(SimdTest, EveryKernelMatchesTheByteReference)
{
    using V = TypeParam;
    const std::vector<Block> blocks = sampleBlocks();
    for (std::size_t n = 0; n < blocks.size(); ++n) {
        const Block &x = blocks[n];
        const Block &y = blocks[(n * 7 + 3) % blocks.size()];
        const auto a = V::load(x.data()), b = V::load(y.data());
        SCOPED_TRACE(n);
        EXPECT_EQ(stored<V>(V::equal(a, b)),
                  each(x, y, [](unsigned p, unsigned q) { return p == q ? 0xFF : 0; }));
        EXPECT_EQ(stored<V>(V::either(a, b)),
                  each(x, y, [](unsigned p, unsigned q) { return p | q; }));
        EXPECT_EQ(stored<V>(V::both(a, b)),
                  each(x, y, [](unsigned p, unsigned q) { return p & q; }));
        EXPECT_EQ(stored<V>(V::butNot(a, b)),
                  each(x, y, [](unsigned p, unsigned q) { return p & ~q; }));
        EXPECT_EQ(stored<V>(V::add(a, b)),
                  each(x, y, [](unsigned p, unsigned q) { return p + q; }));
        EXPECT_EQ(stored<V>(V::subtract(a, b)),
                  each(x, y, [](unsigned p, unsigned q) { return p - q; }));
        EXPECT_EQ(stored<V>(V::subtractFloored(a, b)),
                  each(x, y, [](unsigned p, unsigned q) { return p > q ? p - q : 0; }));
        EXPECT_EQ(stored<V>(V::max(a, b)),
                  each(x, y, [](unsigned p, unsigned q) { return p > q ? p : q; }));
        EXPECT_EQ(stored<V>(V::splat(x[0])), each(x, x, [&](unsigned, unsigned) { return x[0]; }));

        std::uint32_t top = 0, sum = 0, below = 0, any = 0;
        for (std::size_t i = 0; i < width; ++i) {
            top |= std::uint32_t(x[i] >> 7) << i;
            sum += x[i];
            below |= std::uint32_t(x[i] < 0x20) << i;
            any |= std::uint32_t(x[i] == ',' || x[i] == '"' || x[i] == 0xC2) << i;
        }
        EXPECT_EQ(V::topBits(a), top);
        EXPECT_EQ(V::sum(a), sum);
        EXPECT_EQ(V::topBits(kelvane::simd::below<V>(a, 0x20)), below);
        EXPECT_EQ(V::topBits(kelvane::simd::equalsAny<V>(a, ',', '"', 0xC2)), any);
    }
}

TEST(SimdTest, ElementsAreFoundAcrossEveryRunOfCounts)
{
    // A segment's first element is its checkpoint's plus the counts of the segments between,
    // summed sixteen at a time unless one of them keeps its count elsewhere (255 elements or
    // more). Counts from 1 to 300 in an irregular order cross every checkpoint in both ways.
    std::string text;
    std::vector<std::vector<std::string>> expected;
    std::mt19937 random(11);
    for (int n = 0; n < 700; ++n) {
        const std::size_t count = n % 97 == 5 ? 255 + random() % 50 : 1 + random() % 40;
        std::vector<std::string> elements;
        text += "N" + std::to_string(n % 10);
        for (std::size_t k = 0; k < count; ++k) {
            elements.push_back(k % 3 == 0 ? "" : std::to_string(n) + "." + std::to_string(k));
            text += "*" + elements.back();
        }
        text += "~";
        expected.push_back(std::move(elements));
    }
    const auto document = X12Parser::parse(text, "counts.x12");
    ASSERT_TRUE(document);
    const X12SegmentList &segments = (*document)->segments();
    ASSERT_EQ(segments.size(), expected.size());
    for (std::uint32_t i = 0; i < segments.size(); ++i) {
        const X12Segment segment = segments[i];
        ASSERT_EQ(segment.elementCount(), expected[i].size()) << i;
        for (std::size_t k = 0; k < expected[i].size(); ++k)
            ASSERT_EQ(segment.element(k), expected[i][k]) << i << " " << k;
    }
}

} // namespace
