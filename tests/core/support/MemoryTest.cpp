// Tables of a large document live in memory mapped on their own: it must start on a huge page's
// boundary, hold every byte asked for, and be given back whole when a table grows or goes.

#include "core/support/Memory_p.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

TEST(MemoryTest, LargeTablesHoldTheirContentsThroughGrowth)
{
    constexpr std::uintptr_t hugePage = 2u << 20;
    // Below, at and past the size from which tables are mapped, including sizes that are no
    // multiple of a page; each grown past its capacity so that the old block is freed.
    // A last piece just short of a quarter huge page and just at it: mapped to small pages and
    // rounded up to a huge page.
    for (const std::size_t count :
         {1000u, 131'071u, 131'072u, 524'288u, 655'359u, 655'360u, 1'500'001u}) {
        SCOPED_TRACE(count);
        kelvane::detail::LargeVector<std::uint32_t> table;
        table.reserve(count);
        if (count * sizeof(std::uint32_t) >= hugePage / 4) {
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

// A file's text is read into a string reserved on huge pages: it must hold what was asked without
// growing, whatever the size.
TEST(MemoryTest, ReservedTextHoldsItsSize)
{
    for (const std::size_t size : {0u, 100u, (4u << 20) - 31u, (4u << 20) - 32u, 5'000'003u}) {
        SCOPED_TRACE(size);
        std::string text;
        kelvane::detail::reserveHugePages(text, size);
        EXPECT_TRUE(text.empty());
        EXPECT_GE(text.capacity(), size);
        const char *const data = text.data();
        text.assign(size, 'x');
        EXPECT_EQ(text.data(), data);
    }
}

} // namespace
