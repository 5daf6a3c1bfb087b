#pragma once

// Many files read and parsed ahead of the one being written, in the order given.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class X12Document;

/// "-" names standard input.
inline bool isStandardInput(std::string_view path)
{
    return path == "-";
}

/// One file of several, read and parsed, or why it could not be.
struct LoadedFile
{
    std::shared_ptr<const X12Document> document;
    std::string error;  // when there is no document; names the file
    std::string output; // the whole output of a small document, made beside the parse
    bool rendered = false;
    bool outOfMemory = false; // the error is that memory ran out

    /// Frees what it holds. Assigning an empty string would keep the buffer (libstdc++ reuses
    /// it), and each of many files holding its output's would add up to gigabytes.
    void clear()
    {
        document.reset();
        std::string().swap(error);
        std::string().swap(output);
        rendered = false;
        outOfMemory = false;
    }
};

/// Reads and parses files on worker threads ahead of the one in use, and hands them over in the
/// order given. While the file in turn is being read, this thread reads a later regular file,
/// and it reads a pipe only in its turn, so a pipe that blocks never holds back a file before it.
/// Read-ahead is bounded by bytes (see readAheadBudget) as well as by count; the file in turn is
/// read whatever its size. A file that ran out of memory while others were held is read again once
/// they are gone, alone, and from then on every file is read alone. Under a memory limit every file
/// is read alone from the start, on this thread: the limit was set for what one file takes, and
/// each worker would take its stack and its own heap from it too.
class FileReadAhead
{
public:
    using Load = std::function<void(std::size_t index, LoadedFile &file)>;

    FileReadAhead(std::span<const std::string_view> paths, Load load);
    FileReadAhead(const FileReadAhead &) = delete;
    FileReadAhead &operator=(const FileReadAhead &) = delete;

    ~FileReadAhead();

    /// The file at `index`, read; call with 0, 1, 2… and release() each before the next.
    LoadedFile &take(std::size_t index);

    /// Frees the file at `index` once it has been used.
    void release(std::size_t index);

private:
    enum class State : std::uint8_t { waiting, loading, ready, released, used };
    struct File
    {
        LoadedFile loaded;
        std::size_t bytes = 0;           // counted against the budget while read or held
        std::optional<std::size_t> size; // once asked; 0 for a pipe
        bool regular = false;
        State state = State::waiting;
    };

    bool fits(std::size_t bytes) const;

    /// Reads the file on the calling thread; called and returns with the lock held.
    void loadHere(std::unique_lock<std::mutex> &lock, std::size_t index);

    /// Keeps a file read; called with the lock held.
    void finish(std::size_t index, LoadedFile &&loaded);

    /// Whether the next file may be read now: within the count ahead and the budget.
    bool canTakeNext() const;

    /// Reads the next file on the calling thread, once its size is known; only a regular file
    /// when `regularOnly`. False when it did not read it: it only asked its size, or the file is
    /// no regular file. Called and returns with the lock held.
    bool takeNext(std::unique_lock<std::mutex> &lock, bool regularOnly);

    void work();

    std::span<const std::string_view> m_paths;
    Load m_load;
    std::vector<File> m_files;
    std::size_t m_budget;
    std::size_t m_ahead = 2;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::size_t m_next = 0;                  // the next file a worker takes
    std::size_t m_used = 0;                  // files used and released
    std::size_t m_inFlight = 0;              // bytes of the files being read or held
    std::size_t m_loading = 0;               // files being read
    std::vector<std::string> m_spareOutputs; // buffers of outputs written, for later files
    bool m_limited = false;                  // the process has a memory limit
    bool m_alone = false;                    // every file is read alone, by this thread
    bool m_stop = false;
    std::vector<std::jthread> m_workers; // last: they stop before the rest goes
};
