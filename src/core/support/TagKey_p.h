#pragma once

#include <array>
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

/// What was worked out for the tags met last, one per slot of 2^bits, by packed tag: a cache
/// in front of a lookup that millions of segments of a few tags repeat. A cache is not shared
/// between threads (each has its own, or its own writer's).
template <typename Value, unsigned bits>
class TagCache
{
public:
    /// The value of a tag of up to seven bytes (key = tagKey(tag), not longTagKey): the one
    /// kept, or make()'s, kept in place of the slot's previous tag. If make() throws, the slot
    /// keeps nothing.
    template <typename Make>
    const Value &get(std::uint64_t key, Make &&make)
    {
        Slot &slot = m_slots[tagSlot<bits>(key)];
        if (slot.key != key) {
            slot.key = longTagKey;
            slot.value = make();
            slot.key = key;
        }
        return slot.value;
    }

private:
    struct Slot
    {
        std::uint64_t key = longTagKey;
        Value value{};
    };
    std::array<Slot, std::size_t(1) << bits> m_slots;
};

} // namespace kelvane::detail
