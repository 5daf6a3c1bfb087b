#include "core/support/Memory_p.h"

#include <cstdint>

#include <sys/mman.h>
#include <unistd.h>

#ifndef MADV_COLLAPSE
#define MADV_COLLAPSE 25 // Linux 6.1
#endif

namespace kelvane::detail {

namespace {

constexpr std::size_t hugePage = 2 * 1024 * 1024;
constexpr std::size_t mappedMinimum = hugePage / 4;
constexpr std::size_t smallPage = 4096;

/// A table's last part, short of a huge page, takes one if it fills at least a quarter of it, and
/// small pages otherwise. Inside a virtual machine the first touches of the small pages that
/// make up a quarter of a huge page cost about as much as the one fault of the huge page, so a
/// mostly empty huge page is still the faster way to that memory.
std::size_t mappedSize(std::size_t bytes) noexcept
{
    const std::size_t rest = bytes & (hugePage - 1);
    if (rest >= hugePage / 4)
        return (bytes + hugePage - 1) & ~(hugePage - 1);
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

void reserveHugePages(std::string &text, std::size_t bytes)
{
    // glibc puts a 16-byte header before a mapped block and maps header, characters and
    // terminator rounded up to small pages.
    constexpr std::size_t header = 16;
    if (bytes < 2 * hugePage || bytes > std::size_t(-1) - 2 * hugePage) {
        text.reserve(bytes);
        adviseHugePages(text.data(), text.capacity());
        return;
    }
    const std::size_t mapped = (bytes + 2 * header + hugePage - 1) & ~(hugePage - 1);
    text.reserve(mapped - 2 * header);
    const auto data = reinterpret_cast<std::uintptr_t>(text.data());
    if ((data & (hugePage - 1)) == header) {
        void *const block = reinterpret_cast<void *>(data - header);
        ::madvise(block, mapped, MADV_HUGEPAGE);
        // malloc wrote the header before the advice, so the first huge page's range already holds
        // a small page, and would take small pages throughout: it is made one huge page now.
        ::madvise(block, hugePage, MADV_COLLAPSE);
    } else {
        adviseHugePages(text.data(), text.capacity());
    }
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
