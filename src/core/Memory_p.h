#pragma once

#include <cstddef>
#include <vector>

namespace kelvane::detail {

/// Asks the kernel to back a large, not yet touched allocation with transparent huge pages. Parsing
/// a big file fills hundreds of megabytes once; with 2 MiB pages that takes far fewer page faults,
/// which matter most inside virtual machines. Small ranges are left alone; failure is harmless.
void adviseHugePages(const void *data, std::size_t bytes) noexcept;

/// reserve() followed by adviseHugePages() for the new capacity.
template <typename T>
void reserveLarge(std::vector<T> &vector, std::size_t count)
{
    vector.reserve(count);
    adviseHugePages(vector.data(), vector.capacity() * sizeof(T));
}

} // namespace kelvane::detail
