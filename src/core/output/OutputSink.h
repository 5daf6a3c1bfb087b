#pragma once

#include <cstddef>
#include <string>
#include <string_view>

/// Buffered writes to a file descriptor that remember the first failure, so a full disk is
/// reported instead of ending in a silent success. What the command line writes goes through one.
class OutputSink
{
public:
    explicit OutputSink(int fd, std::size_t bufferSize = 256 * 1024);
    ~OutputSink();
    OutputSink(const OutputSink &) = delete;
    OutputSink &operator=(const OutputSink &) = delete;

    void write(std::string_view text)
    {
        if (text.size() <= m_buffer.capacity() - m_buffer.size() &&
            text.size() < m_buffer.capacity() / 2) {
            m_buffer.append(text);
            return;
        }
        writeSlow(text);
    }
    void put(char c)
    {
        if (m_buffer.size() == m_buffer.capacity())
            flush();
        m_buffer.push_back(c);
    }

    /// Writes the text and says whether every write so far succeeded: the sink the writers of
    /// core/output take (X12Json::write(document, std::ref(out))).
    bool operator()(std::string_view text)
    {
        write(text);
        return !failed();
    }

    /// Writes out what is buffered; false once any write has failed.
    bool flush();

    bool failed() const noexcept { return m_error != 0; }
    /// errno of the first failed write, or 0.
    int error() const noexcept { return m_error; }
    /// The reader went away (EPIPE): not worth an error message.
    bool readerGone() const noexcept;

private:
    void writeSlow(std::string_view text);
    void writeAll(std::string_view text);

    int m_fd;
    int m_error = 0;
    std::string m_buffer;
};
