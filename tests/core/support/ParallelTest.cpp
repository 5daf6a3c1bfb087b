#include "core/support/Parallel_p.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <new>
#include <stdexcept>
#include <thread>

namespace {

TEST(ParallelTest, EveryPartEndsBeforeTheLowestFailureIsThrown)
{
    // A part that throws on a worker must not end the process, nor leave the others running.
    std::array<std::atomic<int>, 8> runs{};
    std::atomic<bool> slowPartDone = false;
    try {
        kelvane::detail::runParts(runs.size(), [&](std::size_t part) {
            ++runs[part];
            if (part == 6) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                slowPartDone = true;
            }
            if (part == 3)
                throw std::runtime_error("part 3");
            if (part == 5)
                throw std::bad_alloc();
        });
        ADD_FAILURE() << "nothing was thrown";
    } catch (const std::runtime_error &e) {
        EXPECT_STREQ(e.what(), "part 3");
    }
    EXPECT_TRUE(slowPartDone);
    for (const auto &count : runs)
        EXPECT_EQ(count, 1);
}

} // namespace
