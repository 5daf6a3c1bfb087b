#pragma once

// Work cut into parts that run on every core at once.

#include "core/support/Parallel.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace kelvane::detail {

using Parallel::hasSecondCore;
using Parallel::threadsFor;

/// The size of a text from which one job on it (reading the file, checking its UTF-8, cutting it
/// into segments) is done in two halves at once on two cores; below it, a second thread costs
/// more than it saves. Tests lower it, so that small texts take that path too.
inline std::atomic<std::size_t> halvesMinimum{16u << 20};

/// Starts `work` on a thread of its own, beside the caller's, or gives back no thread (an empty
/// one, not joinable) when none can be started: a memory limit can refuse its stack. For work
/// that must run beside the caller's rather than after it; the caller then does without it.
template <typename Work>
std::jthread besideThisThread(Work &&work) noexcept
{
    try {
        return std::jthread(std::forward<Work>(work));
    } catch (const std::system_error &) {
        return {};
    }
}

/// Runs part(k) for every k in [0, parts): part 0 on the calling thread, each other on a thread
/// of its own, or on the calling thread as well when no more threads can be started (a memory
/// limit can refuse their stacks). Returns once every part has ended; then what a part threw is
/// thrown here, the lowest part's first.
template <typename Part>
void runParts(std::size_t parts, Part &&part)
{
    std::vector<std::exception_ptr> failures(parts);
    auto guarded = [&failures, &part](std::size_t k) noexcept {
        try {
            part(k);
        } catch (...) {
            failures[k] = std::current_exception();
        }
    };
    {
        std::vector<std::jthread> workers;
        workers.reserve(parts);
        std::size_t started = 1;
        for (; started < parts; ++started) {
            std::jthread worker = besideThisThread([&guarded, started] { guarded(started); });
            if (!worker.joinable())
                break;
            workers.push_back(std::move(worker));
        }
        guarded(0);
        for (std::size_t k = started; k < parts; ++k)
            guarded(k);
    }
    for (const std::exception_ptr &failure : failures) {
        if (failure)
            std::rethrow_exception(failure);
    }
}

} // namespace kelvane::detail
