#pragma once

#include <atomic>
#include <cstddef>

namespace kelvane::detail {

/// The number of segments from which the tree is walked in two parts at once, on two cores.
/// Tests lower it, so that small files take that path too.
extern std::atomic<std::size_t> partedWalkMinimum;

} // namespace kelvane::detail
