#include "core/Memory_p.h"

#include <cstdint>

#include <sys/mman.h>
#include <unistd.h>

namespace kelvane::detail {

void adviseHugePages(const void *data, std::size_t bytes) noexcept
{
    constexpr std::size_t hugePage = 2 * 1024 * 1024;
    if (data == nullptr || bytes < 2 * hugePage)
        return;
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + hugePage - 1) & ~(hugePage - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(hugePage - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE);
}

} // namespace kelvane::detail
