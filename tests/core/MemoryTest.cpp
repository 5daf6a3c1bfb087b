// Tables of a large document live in memory mapped on their own: it must start on a huge page's
// boundary, hold every byte asked for, and be given back whole when a table grows or goes.

#include "core/Memory_p.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(MemoryTest, LargeTablesHoldTheirContentsThroughGrowth)
{
    constexpr std::uintptr_t hugePage = 2u << 20;
    // Below, at and past the size from which tables are mapped, including sizes that are no
    // multiple of a page; each grown past its capacity so that the old block is freed.
    for (const std::size_t count : {1000u, 524'287u, 524'288u, 1'500'001u}) {
        SCOPED_TRACE(count);
        kelvane::detail::LargeVector<std::uint32_t> table;
        table.reserve(count);
        if (count * sizeof(std::uint32_t) >= hugePage) {
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(table.data()) % hugePage, 0u);
        }
        for (std::uint32_t i = 0; i < count + count / 2; ++i)
            table.push_back(i * 2654435761u);
        bool intact = true;
        for (std::uint32_t i = 0; i < table.size(); ++i)
            intact = intact && table[i] == i * 2654435761u;
        EXPECT_TRUE(intact);
        table.shrink_to_fit();
        EXPECT_EQ(table.back(), std::uint32_t(table.size() - 1) * 2654435761u);
    }
}

} // namespace
