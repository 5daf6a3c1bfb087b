// read_many: files read and parsed on threads of their own, handed to Python in the order given.

#include "python/Module_p.h"

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace kelvane::python {
namespace {

/// Reads and parses files on `workers` threads, at most two a worker ahead of the one Python
/// takes, so that memory holds a few documents however many files there are.
class ParallelReads
{
public:
    /// The most threads one call starts, whatever `workers` asks for.
    static constexpr std::size_t maxWorkers = 256;

    ParallelReads(std::vector<std::string> paths, std::size_t workers)
        : m_paths(std::move(paths)), m_loaded(m_paths.size()), m_ready(m_paths.size())
    {
        workers = std::min({workers, m_paths.size(), maxWorkers});
        m_ahead = 2 * workers;
        try {
            for (std::size_t i = 0; i < workers; ++i)
                m_workers.emplace_back([this] { work(); });
        } catch (const std::system_error &) {
            // The system gives no more threads: those started do the work, or none can.
            if (m_workers.empty())
                throw;
        }
    }

    ParallelReads(const ParallelReads &) = delete;
    ParallelReads &operator=(const ParallelReads &) = delete;

    ~ParallelReads()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        // A worker finishes the file it is on; the GIL is not what it waits for.
        py::gil_scoped_release unlocked;
        for (std::thread &worker : m_workers)
            worker.join();
    }

    py::object next()
    {
        Loaded loaded;
        bool done = false;
        {
            // Two Python threads may take from one iterator: each takes the next file under the
            // lock, and the last file is taken once.
            py::gil_scoped_release unlocked;
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock,
                           [this] { return m_taken == m_paths.size() || bool(m_ready[m_taken]); });
            done = m_taken == m_paths.size();
            if (!done)
                loaded = std::move(m_loaded[m_taken++]);
        }
        if (done)
            throw py::stop_iteration();
        m_changed.notify_all();
        if (loaded.failure != Loaded::Failure::none)
            return exceptionFor(loaded);
        return documentObject(std::move(loaded.parsed));
    }

private:
    void work()
    {
        std::unique_lock lock(m_mutex);
        while (true) {
            m_changed.wait(lock, [this] {
                return m_stop || m_next == m_paths.size() || m_next < m_taken + m_ahead;
            });
            if (m_stop || m_next == m_paths.size())
                return;
            const std::size_t index = m_next++;
            lock.unlock();
            Loaded loaded = load(m_paths[index]);
            lock.lock();
            m_loaded[index] = std::move(loaded);
            m_ready[index] = true;
            m_changed.notify_all();
        }
    }

    std::vector<std::string> m_paths;
    std::vector<Loaded> m_loaded; // each moved out when taken
    std::vector<char> m_ready;
    std::size_t m_ahead = 0;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::size_t m_next = 0;  // the next file a worker reads
    std::size_t m_taken = 0; // files handed to Python
    bool m_stop = false;
    std::vector<std::thread> m_workers; // last: joined before the rest goes
};

} // namespace

void bindParallelReads(py::module_ &module)
{
    py::class_<ParallelReads>(module, "ParallelReads",
                              "The documents of read_many(), in the order of their paths.")
        .def("__iter__", [](py::object self) { return self; })
        .def("__next__", &ParallelReads::next);

    module.def(
        "read_many",
        [](const py::iterable &paths, std::optional<std::size_t> workers) {
            std::vector<std::string> list;
            for (const py::handle path : paths)
                list.push_back(fileSystemPath(path));
            std::size_t count = workers.value_or(std::max(1u, std::thread::hardware_concurrency()));
            if (count == 0)
                throw py::value_error("workers must be at least 1");
            return std::make_unique<ParallelReads>(std::move(list), count);
        },
        py::arg("paths"), py::arg("workers") = py::none(),
        "Reads and parses files as read() does, on `workers` threads (one a core by default, at "
        "most 256), and "
        "yields their documents in the order given; a file that fails gives its exception "
        "object (OSError, ParseError) in its place instead of raising it.");
}

} // namespace kelvane::python
