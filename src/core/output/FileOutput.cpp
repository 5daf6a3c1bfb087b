#include "core/output/FileOutput.h"

#include "core/output/FileOutput_p.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <utility>

#include <pthread.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Hidden files that exist only while an export runs. The signal handlers remove them when the
// process is interrupted; a file opened with O_TMPFILE needs none of this, as it has no name.
struct PendingFile
{
    std::atomic<bool> used{false};
    std::atomic<int> dirFd{-1}; // set once `name` is written, cleared before it changes
    char name[NAME_MAX + 1] = {};
};
std::array<PendingFile, 8> s_pending;

constexpr std::array<int, 3> cleanedSignals{SIGINT, SIGTERM, SIGHUP};

void removePendingFiles(int signal)
{
    for (PendingFile &pending : s_pending) {
        const int dirFd = pending.dirFd.load(std::memory_order_acquire);
        if (dirFd >= 0)
            ::unlinkat(dirFd, pending.name, 0);
    }
    // The handler was installed with SA_RESETHAND, so the signal's default action is back: raised
    // again, it ends the process once this handler returns, with the status the signal gives.
    ::raise(signal);
}

/// Installs the handlers once, for the signals whose default action ends the process. A signal
/// that is ignored (nohup) or handled by someone else is left alone.
void installHandlers()
{
    static std::once_flag once;
    std::call_once(once, [] {
        for (const int signal : cleanedSignals) {
            struct sigaction old
            {
            };
            if (::sigaction(signal, nullptr, &old) != 0 || (old.sa_flags & SA_SIGINFO) != 0 ||
                old.sa_handler != SIG_DFL)
                continue;
            struct sigaction action
            {
            };
            action.sa_handler = removePendingFiles;
            sigemptyset(&action.sa_mask);
            for (const int other : cleanedSignals)
                sigaddset(&action.sa_mask, other);
            action.sa_flags = static_cast<int>(SA_RESETHAND);
            ::sigaction(signal, &action, nullptr);
        }
    });
}

/// Records a hidden file for the signal handlers; the slot, or -1 when all are taken.
int registerPending(int dirFd, const std::string &name)
{
    installHandlers();
    for (std::size_t i = 0; i < s_pending.size(); ++i) {
        bool expected = false;
        if (!s_pending[i].used.compare_exchange_strong(expected, true))
            continue;
        std::memcpy(s_pending[i].name, name.c_str(), name.size() + 1);
        s_pending[i].dirFd.store(dirFd, std::memory_order_release);
        return int(i);
    }
    return -1;
}

/// Holds off the cleaned signals while a hidden file and its record come and go together, so a
/// signal never finds one without the other.
class SignalsHeld
{
public:
    SignalsHeld()
    {
        sigset_t set;
        sigemptyset(&set);
        for (const int signal : cleanedSignals)
            sigaddset(&set, signal);
        ::pthread_sigmask(SIG_BLOCK, &set, &m_previous);
    }
    ~SignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &m_previous, nullptr); }
    SignalsHeld(const SignalsHeld &) = delete;
    SignalsHeld &operator=(const SignalsHeld &) = delete;

private:
    sigset_t m_previous;
};

void unregisterPending(int slot)
{
    if (slot < 0)
        return;
    s_pending[std::size_t(slot)].dirFd.store(-1, std::memory_order_release);
    s_pending[std::size_t(slot)].used.store(false, std::memory_order_release);
}

/// A hidden name beside `name` that no file is likely to have: ".claims.pdf.kelvane-3fa9c1".
std::string hiddenName(const std::string &name)
{
    thread_local std::mt19937_64 random{std::random_device{}()};
    // Short enough that the whole name stays within NAME_MAX, whatever the file's name.
    const std::string stem = name.substr(0, 200);
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, ".kelvane-%06llx",
                  static_cast<unsigned long long>(random() & 0xFFFFFF));
    return "." + stem + suffix;
}

std::string currentDirectory()
{
    char buffer[PATH_MAX];
    return ::getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string(".");
}

std::string absolute(const std::string &path)
{
    if (path.starts_with('/'))
        return path;
    return currentDirectory() + "/" + path;
}

std::string realPath(const std::string &path, int &error)
{
    char *resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) {
        error = errno;
        return {};
    }
    std::string text(resolved);
    std::free(resolved);
    error = 0;
    return text;
}

std::atomic<bool> s_unnamedFilesAllowed{true};

/// An unnamed file is given its name through /proc, so both must be there.
bool canLinkAnonymousFiles()
{
    static const bool procMounted = ::access("/proc/self/fd", X_OK) == 0;
    return procMounted && s_unnamedFilesAllowed.load();
}

} // namespace

void kelvane::detail::setUnnamedFilesAllowed(bool allowed) noexcept
{
    s_unnamedFilesAllowed = allowed;
}

namespace FileOutput {

int writeAll(int fd, std::string_view text)
{
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written >= 0) {
            text.remove_prefix(std::size_t(written));
            continue;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return errno;
        // A non-blocking descriptor that is full: wait until the reader makes room (or leaves,
        // which the next write reports as EPIPE).
        pollfd ready{fd, POLLOUT, 0};
        if (::poll(&ready, 1, -1) < 0 && errno != EINTR)
            return errno;
    }
    return 0;
}

unsigned permissionsOf(const std::string &path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 ? unsigned(info.st_mode & 0666) : 0666u;
}

std::string Failure::reason() const
{
    if (path.empty())
        return "no file name was given";
    if (error == ENOENT && !missingFolder.empty())
        return "the folder \u201C" + missingFolder + "\u201D does not exist";
    return std::strerror(error);
}

std::expected<Replacement, Failure> Replacement::create(const std::string &path,
                                                        unsigned permissions)
{
    const auto mode = mode_t(permissions & 0666);
    if (path.empty())
        return std::unexpected(Failure{path, ENOENT});
    struct stat info
    {
    };
    const bool exists = ::stat(path.c_str(), &info) == 0;
    if ((exists && S_ISDIR(info.st_mode)) || (!exists && path.ends_with('/')))
        return std::unexpected(Failure{path, EISDIR});

    Replacement file;
    if (exists && !S_ISREG(info.st_mode)) {
        // A device, pipe or socket: renaming over it would replace the device itself.
        file.m_fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY);
        if (file.m_fd < 0)
            return std::unexpected(Failure{path, errno});
        file.m_direct = true;
        file.m_path = absolute(path);
        return file;
    }

    if (auto opened = file.openFolder(path, exists); !opened)
        return std::unexpected(opened.error());
    if (exists) {
        file.m_keepMode = true;
        file.m_mode = info.st_mode & 07777 & (mode | ~mode_t(0777));
    }
    if (auto opened = file.openTemporary(mode); !opened)
        return std::unexpected(opened.error());
    if (file.m_keepMode)
        ::fchmod(file.m_fd, mode_t(file.m_mode));
    return file;
}

std::expected<void, Failure> Replacement::openFolder(const std::string &path, bool exists)
{
    // A link to a file is followed, so the file is replaced and the link stays a link.
    std::string target = path;
    struct stat linkInfo
    {
    };
    if (exists && ::lstat(path.c_str(), &linkInfo) == 0 && S_ISLNK(linkInfo.st_mode)) {
        int error = 0;
        target = realPath(path, error);
        if (target.empty())
            return std::unexpected(Failure{path, error});
    }
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : target.substr(0, slash);
    m_name = slash == std::string::npos ? target : target.substr(slash + 1);
    if (m_name == "." || m_name == "..")
        return std::unexpected(Failure{path, EISDIR});

    m_dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_dirFd < 0) {
        const int openError = errno;
        return std::unexpected(
            Failure{path, openError, openError == ENOENT ? folder : std::string()});
    }
    int error = 0;
    const std::string realFolder = realPath(folder, error);
    if (realFolder.empty())
        return std::unexpected(Failure{path, error});
    m_path = (realFolder == "/" ? "" : realFolder) + "/" + m_name;
    return {};
}

std::expected<void, Failure> Replacement::openTemporary(unsigned mode)
{
    if (canLinkAnonymousFiles()) {
        m_fd = ::openat(m_dirFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode_t(mode));
        m_anonymous = m_fd >= 0;
    }
    if (m_fd >= 0)
        return {};
    // No O_TMPFILE here (NFS, CIFS, vfat, FUSE): a hidden file, removed again on a signal.
    for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
        const SignalsHeld held;
        m_tempName = hiddenName(m_name);
        m_pendingSlot = registerPending(m_dirFd, m_tempName);
        m_fd = ::openat(m_dirFd, m_tempName.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC,
                        mode_t(mode));
        if (m_fd >= 0)
            break;
        const int openError = errno;
        unregisterPending(m_pendingSlot);
        m_pendingSlot = -1;
        m_tempName.clear();
        if (openError != EEXIST)
            return std::unexpected(Failure{m_path, openError});
    }
    if (m_fd < 0)
        return std::unexpected(Failure{m_path, EEXIST});
    return {};
}

Replacement::Replacement(Replacement &&other) noexcept
{
    *this = std::move(other);
}

Replacement &Replacement::operator=(Replacement &&other) noexcept
{
    if (this == &other)
        return *this;
    discard();
    m_fd = std::exchange(other.m_fd, -1);
    m_dirFd = std::exchange(other.m_dirFd, -1);
    m_path = std::move(other.m_path);
    m_name = std::move(other.m_name);
    m_tempName = std::move(other.m_tempName);
    m_pendingSlot = std::exchange(other.m_pendingSlot, -1);
    m_direct = other.m_direct;
    m_anonymous = other.m_anonymous;
    m_keepMode = other.m_keepMode;
    m_mode = other.m_mode;
    other.m_tempName.clear();
    return *this;
}

Replacement::~Replacement()
{
    discard();
}

std::expected<void, Failure> Replacement::commit()
{
    if (m_fd < 0)
        return std::unexpected(Failure{m_path, EBADF});
    if (m_direct) {
        const int fd = std::exchange(m_fd, -1);
        if (::close(fd) != 0 && errno != EINTR)
            return std::unexpected(Failure{m_path, errno});
        return {};
    }
    // Some file systems (NFS, a full quota) report a failed write only here.
    if (::fsync(m_fd) != 0 && errno != EINVAL) {
        const Failure failure{m_path, errno};
        discard();
        return std::unexpected(failure);
    }
    if (m_anonymous) {
        const std::string procPath = "/proc/self/fd/" + std::to_string(m_fd);
        int linkError = EEXIST;
        for (int attempt = 0; attempt < 100 && linkError == EEXIST; ++attempt) {
            const SignalsHeld held;
            m_tempName = hiddenName(m_name);
            m_pendingSlot = registerPending(m_dirFd, m_tempName);
            if (::linkat(AT_FDCWD, procPath.c_str(), m_dirFd, m_tempName.c_str(),
                         AT_SYMLINK_FOLLOW) == 0) {
                linkError = 0;
                break;
            }
            linkError = errno;
            unregisterPending(std::exchange(m_pendingSlot, -1));
            m_tempName.clear();
        }
        if (linkError != 0) {
            discard();
            return std::unexpected(Failure{m_path, linkError});
        }
    }
    if (::close(std::exchange(m_fd, -1)) != 0 && errno != EINTR) {
        const Failure failure{m_path, errno};
        discard();
        return std::unexpected(failure);
    }
    const SignalsHeld held;
    if (::renameat(m_dirFd, m_tempName.c_str(), m_dirFd, m_name.c_str()) != 0) {
        const Failure failure{m_path, errno};
        discard();
        return std::unexpected(failure);
    }
    m_tempName.clear();
    unregisterPending(std::exchange(m_pendingSlot, -1));
    ::close(std::exchange(m_dirFd, -1));
    return {};
}

void Replacement::discard() noexcept
{
    if (m_fd >= 0)
        ::close(std::exchange(m_fd, -1));
    const SignalsHeld held;
    if (!m_tempName.empty() && m_dirFd >= 0)
        ::unlinkat(m_dirFd, m_tempName.c_str(), 0);
    m_tempName.clear();
    unregisterPending(std::exchange(m_pendingSlot, -1));
    if (m_dirFd >= 0)
        ::close(std::exchange(m_dirFd, -1));
}

} // namespace FileOutput
