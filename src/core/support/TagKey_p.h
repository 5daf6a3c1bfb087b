#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kelvane::detail {

/// What tagKey() gives a tag of more than seven bytes; no shorter tag packs to it.
constexpr std::uint64_t longTagKey = ~std::uint64_t(0);

/// A tag of up to seven bytes packed with its length into one number: equal numbers are equal
/// tags, so tags are told apart, switched on and cached without comparing strings.
constexpr std::uint64_t tagKey(std::string_view tag) noexcept
{
    if (tag.size() > 7)
        return longTagKey;
    std::uint64_t key = 0;
    for (const char c : tag)
        key = key << 8 | static_cast<unsigned char>(c);
    return key << 8 | tag.size();
}

/// A slot among 2^bits for a packed tag, for small tables that remember something per tag.
template <unsigned bits>
constexpr std::size_t tagSlot(std::uint64_t key) noexcept
{
    return std::size_t((key * 0x9E3779B97F4A7C15ull) >> (64 - bits));
}

} // namespace kelvane::detail
