#include "core/Memory_p.h"

#include <cstdint>

#include <sys/mman.h>
#include <unistd.h>

namespace kelvane::detail {

namespace {

constexpr std::size_t hugePage = 2 * 1024 * 1024;
constexpr std::size_t mappedMinimum = hugePage;
constexpr std::size_t smallPage = 4096;

/// Rounded to small pages only: a table's last part, short of a huge page, takes small ones
/// rather than a huge page it would not fill.
std::size_t mappedSize(std::size_t bytes) noexcept
{
    return (bytes + smallPage - 1) & ~(smallPage - 1);
}

} // namespace

void adviseHugePages(const void *data, std::size_t bytes) noexcept
{
    if (data == nullptr || bytes < 2 * hugePage)
        return;
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + hugePage - 1) & ~(hugePage - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(hugePage - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE);
}

void *allocateLarge(std::size_t bytes)
{
    if (bytes < mappedMinimum)
        return ::operator new(bytes);
    if (bytes > std::size_t(-1) - 2 * hugePage)
        throw std::bad_alloc();
    const std::size_t size = mappedSize(bytes);
    // One huge page more than needed, then the parts before the first boundary and after the
    // table are given back.
    void *mapped = ::mmap(nullptr, size + hugePage, PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(mapped);
    const auto aligned = (start + hugePage - 1) & ~(hugePage - 1);
    if (aligned > start)
        ::munmap(mapped, aligned - start);
    if (const std::size_t after = hugePage - (aligned - start); after > 0)
        ::munmap(reinterpret_cast<void *>(aligned + size), after);
    ::madvise(reinterpret_cast<void *>(aligned), size, MADV_HUGEPAGE);
    return reinterpret_cast<void *>(aligned);
}

void freeLarge(void *data, std::size_t bytes) noexcept
{
    if (data == nullptr)
        return;
    if (bytes < mappedMinimum)
        ::operator delete(data);
    else
        ::munmap(data, mappedSize(bytes));
}

} // namespace kelvane::detail
