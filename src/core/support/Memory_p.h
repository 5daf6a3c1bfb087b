#pragma once

#include <cstddef>
#include <new>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace kelvane::detail {

/// Asks the kernel to back a large, not yet touched allocation with transparent huge pages. Parsing
/// a big file fills hundreds of megabytes once; with 2 MiB pages that takes far fewer page faults,
/// which matter most inside virtual machines. Small ranges are left alone; failure is harmless.
void adviseHugePages(const void *data, std::size_t bytes) noexcept;

/// Reserves room for `bytes` characters in an empty string, advised for huge pages. For a large
/// size the room is made a little bigger, so that malloc maps a whole number of huge pages for it,
/// which the kernel places on a huge page boundary: then no part of it takes small pages.
void reserveHugePages(std::string &text, std::size_t bytes);

/// Memory for a large table: from 512 KiB on it is mapped on its own, starting on a 2 MiB boundary
/// and advised for huge pages, so that all of it but a last piece under 512 KiB takes huge pages
/// (malloc's blocks start anywhere: the piece before their first boundary gets small pages, and
/// a worker thread's arena is not advised at all). Smaller sizes come from operator new. Throws
/// std::bad_alloc.
void *allocateLarge(std::size_t bytes);
/// Frees what allocateLarge(bytes) gave, given the same size.
void freeLarge(void *data, std::size_t bytes) noexcept;

/// An allocator for the per-segment and per-node tables of a document.
template <typename T>
struct LargeAllocator
{
    using value_type = T;

    LargeAllocator() = default;
    template <typename U>
    LargeAllocator(const LargeAllocator<U> &) noexcept
    {
    }

    T *allocate(std::size_t count)
    {
        if (count > std::size_t(-1) / sizeof(T))
            throw std::bad_alloc();
        return static_cast<T *>(allocateLarge(count * sizeof(T)));
    }
    void deallocate(T *data, std::size_t count) noexcept { freeLarge(data, count * sizeof(T)); }

    /// resize() leaves the elements it adds as they are, not zeroed, so that a table can be
    /// sized before the threads that fill it write their parts, and pages never written cost
    /// nothing. resize(count, value) writes the value.
    template <typename U>
    void construct(U *at) noexcept(std::is_nothrow_default_constructible_v<U>)
    {
        ::new (static_cast<void *>(at)) U;
    }
    template <typename U, typename... Args>
    void construct(U *at, Args &&...args)
    {
        ::new (static_cast<void *>(at)) U(std::forward<Args>(args)...);
    }

    friend bool operator==(const LargeAllocator &, const LargeAllocator &) noexcept { return true; }
};

template <typename T>
using LargeVector = std::vector<T, LargeAllocator<T>>;

/// reserve() followed by adviseHugePages() for the new capacity.
template <typename T, typename Allocator>
void reserveLarge(std::vector<T, Allocator> &vector, std::size_t count)
{
    vector.reserve(count);
    adviseHugePages(vector.data(), vector.capacity() * sizeof(T));
}

} // namespace kelvane::detail
