#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace kelvane::detail {

/// Append-only storage for many small strings: one allocation per block, and views into it stay
/// valid for the arena's lifetime.
class TextArena
{
public:
    std::string_view store(std::string_view text)
    {
        if (text.empty())
            return {};
        if (text.size() > blockSize / 4) {
            // Large texts get a block of their own, so the current block keeps its free space.
            m_blocks.push_back(std::make_unique_for_overwrite<char[]>(text.size()));
            text.copy(m_blocks.back().get(), text.size());
            return {m_blocks.back().get(), text.size()};
        }
        if (text.size() > m_left) {
            m_blocks.push_back(std::make_unique_for_overwrite<char[]>(blockSize));
            m_next = m_blocks.back().get();
            m_left = blockSize;
        }
        char *at = m_next;
        text.copy(at, text.size());
        m_next += text.size();
        m_left -= text.size();
        return {at, text.size()};
    }

    /// Takes over another arena's blocks: views into them stay valid.
    void append(TextArena &&other)
    {
        for (auto &block : other.m_blocks)
            m_blocks.push_back(std::move(block));
        other.m_blocks.clear();
        other.m_next = nullptr;
        other.m_left = 0;
    }

private:
    static constexpr std::size_t blockSize = 64 * 1024;
    std::vector<std::unique_ptr<char[]>> m_blocks;
    char *m_next = nullptr;
    std::size_t m_left = 0;
};

} // namespace kelvane::detail
