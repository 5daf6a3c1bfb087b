#pragma once

// Output made of many independent items (nodes, segments, findings) is rendered in blocks on every
// core and written in order, so formatting keeps pace with the parse on a machine with cores to
// spare and costs nothing extra on one without.

#include "core/support/Parallel_p.h"

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <mutex>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

namespace kelvane::detail {

/// Produces items [0, count) in blocks of blockSize and hands each block's Text to
/// consume(text), in order. render(begin, end, text) fills an empty Text (after text.clear())
/// with the result of items [begin, end) and returns true; it runs on several threads at once, on
/// different Texts, so it may only read what it shares. A block too big to hold in memory is
/// declined instead (render returns false) and handed to direct(begin, end) on the calling thread
/// in its turn, to deliver it itself; direct returns false when the receiver refused. consume runs
/// on the calling thread and returns false to stop. While the block next in turn is not ready,
/// the calling thread renders a later one itself: it works beside one worker fewer than there
/// are cores, instead of waking among workers that fill them all. At most two blocks per thread
/// are held at any time. Returns false once the
/// receiver refused; no block is started after that. What a render throws (running out of memory,
/// say) is thrown here, in its block's turn, once every worker has stopped; so is what consume or
/// direct throws.
template <typename Text, typename Render, typename Direct, typename Consume>
bool produceInOrder(std::size_t count, std::size_t blockSize, Render &&render, Direct &&direct,
                    Consume &&consume)
{
    if (count == 0)
        return true;
    const std::size_t blocks = (count + blockSize - 1) / blockSize;
    const std::size_t threads = threadsFor(blocks);
    auto inOneThread = [&] {
        Text text;
        for (std::size_t block = 0; block < blocks; ++block) {
            const std::size_t begin = block * blockSize;
            const std::size_t end = std::min(count, begin + blockSize);
            text.clear();
            const bool accepted = render(begin, end, text) ? consume(text) : direct(begin, end);
            if (!accepted)
                return false;
        }
        return true;
    };
    if (threads <= 1)
        return inOneThread();

    struct Slot
    {
        Text text;
        bool ready = false;
        bool declined = false;
        std::exception_ptr failure; // what its render threw
    };
    const std::size_t slots = 2 * threads;
    std::vector<Slot> ring(slots);
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t next = 0;    // the next block a worker takes
    std::size_t written = 0; // blocks handed on
    bool stop = false;

    // A block's slot is free once the block that used it before has been handed on.
    auto canTake = [&] { return !stop && next < blocks && next < written + slots; };
    // Renders the next block into its slot; called and returns with the lock held.
    auto renderNext = [&](std::unique_lock<std::mutex> &lock) {
        const std::size_t block = next++;
        Slot &slot = ring[block % slots];
        lock.unlock();
        bool rendered = false;
        std::exception_ptr failure;
        try {
            slot.text.clear();
            rendered =
                render(block * blockSize, std::min(count, (block + 1) * blockSize), slot.text);
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        slot.declined = !rendered;
        slot.failure = failure;
        slot.ready = true;
    };
    auto work = [&] {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return stop || next >= blocks || next < written + slots; });
            if (!canTake())
                return;
            renderNext(lock);
            changed.notify_all();
        }
    };
    std::vector<std::jthread> workers;
    // Stops and joins the workers: on the way out, and when anything here throws, so that no
    // worker is left waiting for a block that will never be taken.
    auto stopWorkers = [&] {
        {
            std::lock_guard lock(mutex);
            stop = true;
        }
        changed.notify_all();
        workers.clear();
    };
    bool accepted = true;
    try {
        // This thread renders too, while it waits.
        workers.reserve(threads - 1);
        for (std::size_t k = 0; k + 1 < threads; ++k) {
            std::jthread worker = besideThisThread(work);
            if (!worker.joinable())
                break; // no thread to be had: those started do the work
            workers.push_back(std::move(worker));
        }
        if (workers.empty())
            return inOneThread();
        for (std::size_t block = 0; block < blocks && accepted; ++block) {
            Slot &slot = ring[block % slots];
            {
                std::unique_lock lock(mutex);
                while (!slot.ready) {
                    if (canTake())
                        renderNext(lock);
                    else
                        changed.wait(lock);
                }
            }
            if (slot.failure)
                std::rethrow_exception(slot.failure);
            accepted = slot.declined
                           ? direct(block * blockSize, std::min(count, (block + 1) * blockSize))
                           : consume(slot.text);
            std::lock_guard lock(mutex);
            slot.ready = false;
            ++written;
            stop = !accepted;
            changed.notify_all();
        }
    } catch (...) {
        stopWorkers();
        throw;
    }
    stopWorkers();
    return accepted;
}

/// produceInOrder for text: renders items [0, count) in blocks and passes each block's text to
/// sink(std::string_view), in order, on the calling thread; direct(begin, end) streams a declined
/// block to the sink itself.
template <typename Text, typename Render, typename Direct, typename Sink>
bool renderInOrder(std::size_t count, std::size_t blockSize, Render &&render, Direct &&direct,
                   Sink &&sink)
{
    return produceInOrder<Text>(count, blockSize, render, direct,
                                [&sink](Text &text) { return sink(std::string_view(text)); });
}

/// Whether segments [begin, end) of the document hold fewer than `limit` bytes between them: the
/// test for a block of output that may be held in memory, since one segment can be the whole file.
template <typename Document>
bool segmentsUnder(const Document &document, std::size_t begin, std::size_t end, std::size_t limit)
{
    std::size_t bytes = 0;
    for (std::size_t i = begin; i < end && bytes < limit; ++i)
        bytes += document.segment(std::uint32_t(i)).raw().size();
    return bytes < limit;
}

/// The same for blocks that are always small enough to hold: render returns nothing.
template <typename Text, typename Render, typename Sink>
bool renderInOrder(std::size_t count, std::size_t blockSize, Render &&render, Sink &&sink)
{
    return renderInOrder<Text>(
        count, blockSize,
        [&render](std::size_t begin, std::size_t end, Text &text) {
            render(begin, end, text);
            return true;
        },
        [](std::size_t, std::size_t) { return false; }, sink);
}

} // namespace kelvane::detail
