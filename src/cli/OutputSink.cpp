#include "cli/OutputSink.h"

#include <cerrno>

#include <unistd.h>

OutputSink::OutputSink(int fd, std::size_t bufferSize) : m_fd(fd)
{
    m_buffer.reserve(bufferSize);
}

OutputSink::~OutputSink()
{
    flush();
}

bool OutputSink::readerGone() const noexcept
{
    return m_error == EPIPE;
}

void OutputSink::writeSlow(std::string_view text)
{
    flush();
    if (text.size() < m_buffer.capacity())
        m_buffer.append(text);
    else
        writeAll(text);
}

bool OutputSink::flush()
{
    writeAll(m_buffer);
    m_buffer.clear();
    return !failed();
}

void OutputSink::writeAll(std::string_view text)
{
    while (!text.empty() && m_error == 0) {
        const ssize_t written = ::write(m_fd, text.data(), text.size());
        if (written < 0) {
            if (errno != EINTR)
                m_error = errno;
            continue;
        }
        text.remove_prefix(std::size_t(written));
    }
}
