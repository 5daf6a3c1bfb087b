#pragma once

// How much work is spread over the machine's cores, for the core and its callers alike.

#include <algorithm>
#include <cstddef>
#include <thread>

namespace Parallel {

/// How many threads share work of `parts` parts: one per core, at most eight (past them, the
/// memory bus is the limit), at least one.
inline std::size_t threadsFor(std::size_t parts) noexcept
{
    return std::max<std::size_t>(
        1, std::min<std::size_t>({std::thread::hardware_concurrency(), 8, parts}));
}

/// Whether a second core is there to take half of a job.
inline bool hasSecondCore() noexcept
{
    return std::thread::hardware_concurrency() > 1;
}

} // namespace Parallel
