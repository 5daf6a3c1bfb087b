#pragma once

#include <expected>
#include <string>
#include <string_view>
#include <utility>

/// Writing what the user asked for without losing what was there: whole writes that wait while a
/// pipe is full, and files that appear at their name only once complete.
namespace FileOutput {

/// Writes all of `text` to `fd`, again after an interruption and, when `fd` is a non-blocking
/// pipe that is full (a Node.js child process's output), once the reader has made room. Returns 0,
/// or the errno of the failure.
int writeAll(int fd, std::string_view text);

/// The permission bits a report made from the file at `path` may have, so that it is never more
/// readable than its input: the file's own read and write bits, or 0666 (the umask alone) when
/// they cannot be read.
unsigned permissionsOf(const std::string &path);

struct Failure
{
    Failure(std::string file, int errorNumber, std::string folder = {})
        : path(std::move(file)), error(errorNumber), missingFolder(std::move(folder))
    {
    }

    std::string path;          // the file concerned, as the user would name it
    int error = 0;             // errno
    std::string missingFolder; // for ENOENT: the folder the file would be in, which is missing

    /// The system's words for the error ("No space left on device"), or what is missing: "no file
    /// name was given", "the folder “/mnt/usb/out” does not exist".
    std::string reason() const;
};

/// A file being written in place of a path. For a regular file, new or existing, the text goes
/// to an unnamed (or, where the file system has none, a hidden) file in the same folder, which
/// takes the name on commit(); until then, and whatever happens to the process (SIGINT, SIGTERM or
/// SIGHUP included), the path keeps what it had. An existing device or pipe (/dev/stdout) is
/// written directly. Paths are bytes: a name that is not UTF-8 is used as it is.
class Replacement
{
public:
    /// Prepares to write `path`. Fails for a folder, a missing or unusable folder, or a file that
    /// cannot be created there. A new file gets `permissions` within the umask; a file replaced
    /// keeps what both allow, so a report is never more readable than the file it was made from.
    static std::expected<Replacement, Failure> create(const std::string &path,
                                                      unsigned permissions = 0666);

    Replacement(Replacement &&other) noexcept;
    Replacement &operator=(Replacement &&other) noexcept;
    Replacement(const Replacement &) = delete;
    Replacement &operator=(const Replacement &) = delete;
    /// Discards the text unless commit() succeeded.
    ~Replacement();

    /// Where to write.
    int fd() const noexcept { return m_fd; }
    /// The absolute path of the file written: its folder with links resolved, then its name (or,
    /// when the path was a link to a file, that file's own path).
    const std::string &path() const noexcept { return m_path; }
    /// True for a device or pipe, which is written directly and cannot be taken back.
    bool isDirect() const noexcept { return m_direct; }

    /// Flushes the text to the disk and puts the file in place. A failure (a full disk, an I/O
    /// error) leaves the path as it was.
    std::expected<void, Failure> commit();
    /// Throws the text away; the path keeps what it had.
    void discard() noexcept;

private:
    Replacement() = default;
    /// Opens the folder the file goes in, following a link to a file, and sets its name and path.
    std::expected<void, Failure> openFolder(const std::string &path, bool exists);
    /// Opens the file the text is written to until commit(): unnamed, or else hidden.
    std::expected<void, Failure> openTemporary(unsigned mode);

    int m_fd = -1;
    int m_dirFd = -1;
    std::string m_path;     // absolute, shown to the user
    std::string m_name;     // the file's name in its folder
    std::string m_tempName; // the hidden file's name, once it has one
    int m_pendingSlot = -1; // where the signal handlers find the hidden file
    bool m_direct = false;
    bool m_anonymous = false; // opened with O_TMPFILE: no name until commit
    bool m_keepMode = false;
    unsigned m_mode = 0; // the replaced file's permissions
};

} // namespace FileOutput
