#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

/// A version-4 (random) UUID.
class Uuid
{
public:
    constexpr Uuid() noexcept = default;

    /// A fresh random UUID from a fast per-thread generator seeded by the system.
    static Uuid random() noexcept;

    /// The UUID with the given 128 bits, with the version (4) and variant (RFC 4122) bits set.
    static Uuid fromBits(std::uint64_t high, std::uint64_t low) noexcept;

    std::uint64_t high() const noexcept { return m_high; }
    std::uint64_t low() const noexcept { return m_low; }
    bool isNull() const noexcept { return m_high == 0 && m_low == 0; }

    /// Upper-case canonical form, 8-4-4-4-12 hex digits.
    std::string toString() const;

    friend bool operator==(const Uuid &, const Uuid &) noexcept = default;

private:
    std::uint64_t m_high = 0;
    std::uint64_t m_low = 0;
};

template <>
struct std::hash<Uuid>
{
    std::size_t operator()(const Uuid &u) const noexcept
    {
        return std::size_t(u.high() ^ (u.low() * 0x9E3779B97F4A7C15ull));
    }
};
