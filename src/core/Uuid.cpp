#include "core/Uuid.h"

#include <random>

namespace {

// xoshiro256** seeded from std::random_device: fast, and good enough for identifiers (not keys).
class Generator
{
public:
    Generator()
    {
        std::random_device device;
        for (auto &word : m_state)
            word = (std::uint64_t(device()) << 32) ^ device();
        if ((m_state[0] | m_state[1] | m_state[2] | m_state[3]) == 0)
            m_state[0] = 1;
    }

    std::uint64_t next() noexcept
    {
        const std::uint64_t result = rotl(m_state[1] * 5, 7) * 9;
        const std::uint64_t t = m_state[1] << 17;
        m_state[2] ^= m_state[0];
        m_state[3] ^= m_state[1];
        m_state[1] ^= m_state[2];
        m_state[0] ^= m_state[3];
        m_state[2] ^= t;
        m_state[3] = rotl(m_state[3], 45);
        return result;
    }

private:
    static std::uint64_t rotl(std::uint64_t x, int k) noexcept
    {
        return (x << k) | (x >> (64 - k));
    }
    std::uint64_t m_state[4];
};

} // namespace

Uuid Uuid::random() noexcept
{
    thread_local Generator generator;
    const std::uint64_t high = generator.next();
    return fromBits(high, generator.next());
}

Uuid Uuid::fromBits(std::uint64_t high, std::uint64_t low) noexcept
{
    Uuid u;
    u.m_high = (high & ~0xF000ull) | 0x4000ull;
    u.m_low = (low & ~(0xC0ull << 56)) | (0x80ull << 56);
    return u;
}

std::string Uuid::toString() const
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(36);
    auto put = [&](std::uint64_t word, int from, int to) {
        for (int nibble = from; nibble < to; ++nibble)
            text.push_back(digits[(word >> (60 - 4 * nibble)) & 0xF]);
    };
    put(m_high, 0, 8);
    text.push_back('-');
    put(m_high, 8, 12);
    text.push_back('-');
    put(m_high, 12, 16);
    text.push_back('-');
    put(m_low, 0, 4);
    text.push_back('-');
    put(m_low, 4, 16);
    return text;
}
