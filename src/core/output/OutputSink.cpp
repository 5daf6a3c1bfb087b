#include "core/output/OutputSink.h"

#include "core/output/FileOutput.h"

#include <cerrno>

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
    // A text of half the buffer or more (a rendered block) goes out as it is: copying it into
    // the buffer first would only cost a pass over it.
    if (text.size() < m_buffer.capacity() / 2)
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
    if (m_error == 0)
        m_error = FileOutput::writeAll(m_fd, text);
}
