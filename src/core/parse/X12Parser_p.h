#pragma once

#include <atomic>
#include <cstddef>

namespace kelvane::detail {

/// The size from which a text is segmented in two halves at once, on two cores. Tests lower it,
/// so that small files take that path too and can be compared with the one-pass split.
extern std::atomic<std::size_t> halvedSplitMinimum;

/// The number of segments from which the tree is walked in two parts at once, on two cores.
/// Tests lower it, so that small files take that path too.
extern std::atomic<std::size_t> partedWalkMinimum;

} // namespace kelvane::detail
