#pragma once

// The buffer and block writer shared by the documents written for scripts and for reading (JSON,
// CSV, the tree).

#include "core/support/OrderedBlocks_p.h"
#include "core/dictionary/X12Dictionary.h"
#include "core/model/X12Document.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string_view>

namespace kelvane::detail {

/// A growing byte buffer whose appends inline to a bounds check and a copy: the writer appends
/// billions of small pieces for a large file. Given a sink, it hands its text on instead of
/// growing past a megabyte, so that even one enormous segment never gathers in memory.
class Buffer
{
public:
    // Inline, so that the sizes of the many short literals written are known where they are
    // copied; the rare growth stays out of line.
    [[gnu::always_inline]] void append(std::string_view text)
    {
        // Nothing to copy, and a buffer not yet allocated has no place to copy it to.
        if (text.empty())
            return;
        if (text.size() > m_capacity - m_size && makeRoom(text))
            return;
        std::memcpy(m_data.get() + m_size, text.data(), text.size());
        m_size += text.size();
    }
    void append(const char *text, std::size_t size) { append(std::string_view(text, size)); }
    Buffer &operator+=(std::string_view text)
    {
        append(text);
        return *this;
    }
    [[gnu::always_inline]] Buffer &operator+=(char c)
    {
        if (m_size == m_capacity)
            makeRoom(std::string_view(&c, 1));
        m_data[m_size++] = c;
        return *this;
    }
    /// Room for `size` more bytes, written at the place returned and then kept with commit().
    [[gnu::always_inline]] char *reserve(std::size_t size)
    {
        if (size > m_capacity - m_size)
            makeSpace(size);
        return m_data.get() + m_size;
    }
    /// Keeps `size` bytes written at the place reserve() returned.
    void commit(std::size_t size) { m_size += size; }
    std::string_view view() const { return {m_data.get(), m_size}; }
    explicit operator std::string_view() const { return view(); }
    void clear() { m_size = 0; }

    /// Where the text goes once there is a megabyte of it, and on spill().
    void setSink(const std::function<bool(std::string_view)> *sink) { m_sink = sink; }
    /// Passes what is buffered to the sink and empties the buffer; false once the sink refused,
    /// after which everything is dropped.
    bool spill()
    {
        if (m_size > 0)
            passOn(view());
        m_size = 0;
        return !m_refused;
    }
    bool refused() const { return m_refused; }

private:
    static constexpr std::size_t spillSize = 1u << 20;

    /// Makes room for text that does not fit; true when the text was handed on instead.
    [[gnu::noinline]] bool makeRoom(std::string_view text)
    {
        if (m_sink && m_size + text.size() >= spillSize) {
            spill();
            if (text.size() >= spillSize) {
                passOn(text);
                return true;
            }
            if (text.size() <= m_capacity)
                return false;
        }
        grow(text.size());
        return false;
    }

    /// Makes room for `size` more bytes, passing what is buffered on first once it is enough.
    [[gnu::noinline]] void makeSpace(std::size_t size)
    {
        if (m_sink && m_size + size >= spillSize)
            spill();
        if (size > m_capacity - m_size)
            grow(size);
    }

    void passOn(std::string_view text)
    {
        if (!m_refused)
            m_refused = !(*m_sink)(text);
    }

    void grow(std::size_t needed)
    {
        const std::size_t capacity = std::max(m_capacity * 2, m_size + needed + 4096);
        auto data = std::make_unique_for_overwrite<char[]>(capacity);
        if (m_size > 0)
            std::memcpy(data.get(), m_data.get(), m_size);
        m_data = std::move(data);
        m_capacity = capacity;
    }

    std::unique_ptr<char[]> m_data;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
    const std::function<bool(std::string_view)> *m_sink = nullptr;
    bool m_refused = false;
};

/// Renders items [0, count) in blocks on every core and passes them on in order. Item i stands
/// for segment i. render(begin, end, text) fills a Text held in memory; a block whose segments
/// hold more than a megabyte goes to stream(begin, end, buffer) on this thread instead, whose
/// Buffer passes it on a megabyte at a time, so memory stays bounded whatever the segments hold.
/// A block covers about `fileBytes` of the file, and 1,024 to 4,096 items.
template <typename Text, typename Render, typename Stream>
bool writeSegmentBlocks(const X12Document &document, std::size_t count, Render &&render,
                        Stream &&stream, const std::function<bool(std::string_view)> &sink,
                        std::size_t fileBytes = 32u << 10)
{
    // By default blocks of about 32 KiB of the file: a few hundred KiB of output each for JSON,
    // so the blocks in flight hold little, yet tiny segments come 4,096 to a block, which pays
    // for its set-up.
    const std::size_t averageBytes =
        document.text().size() / std::max<std::size_t>(1, document.segments().size());
    const std::size_t blockSize =
        std::clamp<std::size_t>(fileBytes / std::max<std::size_t>(1, averageBytes), 1024, 4096);
    return renderInOrder<Text>(
        count, blockSize,
        [&](std::size_t begin, std::size_t end, Text &out) {
            if (!segmentsUnder(document, begin, end, 1u << 20))
                return false;
            const X12Dictionary::MoneyLocaleSnapshot locale;
            render(begin, end, out);
            return true;
        },
        [&](std::size_t begin, std::size_t end) {
            Buffer out;
            out.setSink(&sink);
            const X12Dictionary::MoneyLocaleSnapshot locale;
            stream(begin, end, out);
            return out.spill();
        },
        sink);
}

/// The same with one renderer for both: into a Buffer, held or passed on.
inline bool
writeSegmentBlocks(const X12Document &document, std::size_t count,
                   const std::function<void(std::size_t, std::size_t, Buffer &)> &render,
                   const std::function<bool(std::string_view)> &sink)
{
    return writeSegmentBlocks<Buffer>(document, count, render, render, sink);
}

} // namespace kelvane::detail
