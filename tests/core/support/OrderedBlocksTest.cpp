#include "core/support/OrderedBlocks_p.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>

using kelvane::detail::renderInOrder;

namespace {

// Item i renders as "i,"; blocks finish out of order (later ones sooner), some are declined
// and streamed by the caller, and the sink may refuse part-way.
struct Outcome
{
    std::string out;
    int calls = 0;
    int rendered = 0;
    bool result = false;
};

Outcome run(std::size_t count, std::size_t block, int refuseAt = -1, std::size_t declineEvery = 0)
{
    Outcome r;
    std::atomic<int> rendered = 0;
    r.result = renderInOrder<std::string>(
        count, block,
        [&](std::size_t begin, std::size_t end, std::string &text) {
            if (declineEvery && (begin / block) % declineEvery == 1)
                return false;
            ++rendered;
            std::this_thread::sleep_for(std::chrono::microseconds((count - begin) % 7 * 50));
            for (std::size_t i = begin; i < end; ++i)
                text += std::to_string(i) + ",";
            return true;
        },
        [&](std::size_t begin, std::size_t end) {
            ++r.calls;
            for (std::size_t i = begin; i < end; ++i)
                r.out += std::to_string(i) + ",";
            return r.calls != refuseAt;
        },
        [&](std::string_view text) {
            ++r.calls;
            r.out += text;
            return r.calls != refuseAt;
        });
    r.rendered = rendered;
    return r;
}

std::string expected(std::size_t count)
{
    std::string text;
    for (std::size_t i = 0; i < count; ++i)
        text += std::to_string(i) + ",";
    return text;
}

TEST(OrderedBlocksTest, BlocksArriveInOrderWhateverFinishesFirst)
{
    for (std::size_t count : {0u, 1u, 7u, 64u, 1000u}) {
        const Outcome r = run(count, 7, -1, 3);
        EXPECT_TRUE(r.result);
        EXPECT_EQ(r.out, expected(count)) << count;
        EXPECT_EQ(std::size_t(r.calls), (count + 6) / 7);
    }
}

TEST(OrderedBlocksTest, RefusalStopsTheWork)
{
    const Outcome r = run(10000, 10, 3);
    EXPECT_FALSE(r.result);
    EXPECT_EQ(r.calls, 3);
    EXPECT_EQ(r.out, expected(30));
    // Only the blocks already under way when the sink refused were rendered.
    EXPECT_LT(r.rendered, 3 + 2 * 8 + 8);
}

// A render or the sink that throws (out of memory, say) must reach the caller in its block's turn,
// after the blocks before it, and leave no worker behind: not a process ended by a worker's
// exception, nor one waiting forever for a block that is never taken.
TEST(OrderedBlocksTest, FailuresReachTheCallerInTurn)
{
    for (const bool inSink : {false, true}) {
        SCOPED_TRACE(inSink);
        std::string out;
        const auto renderAll = [&] {
            return renderInOrder<std::string>(
                10000, 10,
                [&](std::size_t begin, std::size_t end, std::string &text) {
                    if (!inSink && begin == 50)
                        throw std::bad_alloc();
                    for (std::size_t i = begin; i < end; ++i)
                        text += std::to_string(i) + ",";
                },
                [&](std::string_view text) {
                    if (inSink && text.starts_with("50,"))
                        throw std::runtime_error("the disk is full");
                    out += text;
                    return true;
                });
        };
        if (inSink)
            EXPECT_THROW(renderAll(), std::runtime_error);
        else
            EXPECT_THROW(renderAll(), std::bad_alloc);
        EXPECT_EQ(out, expected(50));
    }
}

} // namespace
