#include "cli/FileReadAhead.h"

#include "cli/CommandLine.h"
#include "core/model/X12Document.h"
#include "core/support/Parallel.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include <sys/stat.h>
#include <unistd.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

/// How many bytes of input may be read ahead of the file in use: an eighth of the machine's
/// memory, and never more than 1 GiB. A document takes two to three times its file's size, and
/// the file in use holds its own beside them.
std::size_t readAheadBudget()
{
    const std::uint64_t memory =
        std::uint64_t(::sysconf(_SC_PHYS_PAGES)) * std::uint64_t(::sysconf(_SC_PAGE_SIZE));
    return std::size_t(std::min<std::uint64_t>(memory / 8, std::uint64_t(1) << 30));
}

/// The size of a regular file, or nothing for anything else (a pipe tells its size only once
/// read, and may keep its reader waiting).
std::optional<std::size_t> sizeOnDisk(std::string_view path)
{
    struct stat info;
    if (isStandardInput(path) || ::stat(std::string(path).c_str(), &info) != 0 ||
        !S_ISREG(info.st_mode))
        return std::nullopt;
    return std::size_t(info.st_size);
}

/// Whether a file can be read a second time: a regular file can, a pipe cannot.
bool canReadAgain(std::string_view path)
{
    return sizeOnDisk(path).has_value();
}

} // namespace

FileReadAhead::FileReadAhead(std::span<const std::string_view> paths, Load load)
    : m_paths(paths), m_load(std::move(load)), m_files(paths.size()), m_budget(readAheadBudget())
{
    const std::size_t threads = Parallel::threadsFor(paths.size());
    m_ahead = 2 * threads;
    m_limited = CommandLine::memoryLimit().has_value();
    m_alone = m_limited;
    for (std::size_t k = 0; k + 1 < threads && !m_alone; ++k) {
        try {
            m_workers.emplace_back([this] { work(); });
        } catch (const std::system_error &) {
            break; // no thread to be had: this one reads every file in its turn
        }
    }
}

FileReadAhead::~FileReadAhead()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_workers.clear();
}

LoadedFile &FileReadAhead::take(std::size_t index)
{
    std::unique_lock lock(m_mutex);
    File &file = m_files[index];
    for (;;) {
        if (file.state == State::ready)
            break;
        if (file.state == State::released || (file.state == State::waiting && m_next == index)) {
            if (file.state == State::waiting)
                ++m_next;
            loadHere(lock, index);
            break;
        }
        // A worker reads it: meanwhile read a later file, unless it may block.
        if (!m_alone && canTakeNext() && (!m_files[m_next].size || m_files[m_next].regular)) {
            takeNext(lock, true);
            continue;
        }
        m_changed.wait(lock);
    }
    if (file.loaded.outOfMemory && !m_alone && canReadAgain(m_paths[index])) {
        // Others were held beside it: read it again with nothing else in memory.
        m_alone = true;
        m_changed.wait(lock, [this] { return m_loading == 0; });
        for (std::size_t later = index + 1; later < m_next; ++later) {
            File &held = m_files[later];
            if (held.state == State::ready && canReadAgain(m_paths[later])) {
                held.loaded.clear();
                m_inFlight -= held.bytes;
                held.bytes = 0;
                held.state = State::released;
            }
        }
        file.loaded.clear();
        loadHere(lock, index);
    }
    return file.loaded;
}

void FileReadAhead::release(std::size_t index)
{
    {
        std::lock_guard lock(m_mutex);
        File &file = m_files[index];
        // Its output's buffer serves a later file: growing one anew for every small file
        // cost a tenth of the time of --dump-json on a thousand of them.
        if (file.loaded.output.capacity() > 0 && m_spareOutputs.size() < m_ahead)
            m_spareOutputs.push_back(std::move(file.loaded.output));
        file.loaded.clear();
        m_inFlight -= file.bytes;
        file.bytes = 0;
        file.state = State::used;
        ++m_used;
    }
    m_changed.notify_all();
#if defined(__GLIBC__)
    // Under a limit what the heap keeps of a file counts against the next one.
    if (m_limited)
        ::malloc_trim(0);
#endif
}

bool FileReadAhead::fits(std::size_t bytes) const
{
    return m_inFlight == 0 || m_inFlight + bytes <= m_budget;
}

void FileReadAhead::loadHere(std::unique_lock<std::mutex> &lock, std::size_t index)
{
    File &file = m_files[index];
    file.state = State::loading;
    ++m_loading;
    LoadedFile loaded;
    if (!m_spareOutputs.empty()) {
        loaded.output = std::move(m_spareOutputs.back());
        loaded.output.clear();
        m_spareOutputs.pop_back();
    }
    lock.unlock();
    m_load(index, loaded);
    lock.lock();
    finish(index, std::move(loaded));
}

void FileReadAhead::finish(std::size_t index, LoadedFile &&loaded)
{
    File &file = m_files[index];
    const std::size_t bytes = loaded.document ? loaded.document->text().size() : 0;
    m_inFlight = m_inFlight - file.bytes + bytes;
    file.bytes = bytes;
    file.loaded = std::move(loaded);
    file.state = State::ready;
    --m_loading;
    m_changed.notify_all();
}

bool FileReadAhead::canTakeNext() const
{
    return m_next < m_files.size() && m_next < m_used + m_ahead &&
           (!m_files[m_next].size || fits(*m_files[m_next].size));
}

bool FileReadAhead::takeNext(std::unique_lock<std::mutex> &lock, bool regularOnly)
{
    const std::size_t index = m_next;
    File &file = m_files[index];
    if (!file.size) {
        // Asked outside the lock: a file system can be slow to answer.
        lock.unlock();
        const std::optional<std::size_t> size = sizeOnDisk(m_paths[index]);
        lock.lock();
        file.size = size.value_or(0);
        file.regular = size.has_value();
        m_changed.notify_all();
        return false;
    }
    if (regularOnly && !file.regular)
        return false;
    ++m_next;
    file.bytes = *file.size;
    m_inFlight += file.bytes;
    loadHere(lock, index);
    return true;
}

void FileReadAhead::work()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] {
            return m_stop || m_alone || m_next >= m_files.size() || canTakeNext();
        });
        if (m_stop || m_alone || m_next >= m_files.size())
            return;
        takeNext(lock, false);
    }
}
