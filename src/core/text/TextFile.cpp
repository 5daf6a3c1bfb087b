#include "core/text/TextFile.h"

#include "core/support/Memory_p.h"
#include "core/support/Parallel_p.h"
#include "core/text/Unicode_p.h"
#include "core/text/VisibleText.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string quoted(std::string_view path)
{
    std::string text = "\u201C";
    text += path;
    text += "\u201D";
    return text;
}

TextFile::Error systemError(std::string_view what, std::string_view path, int error)
{
    std::string message(what);
    message += ' ';
    message += quoted(path);
    message += ": ";
    message += std::strerror(error);
    return {std::move(message)};
}

void appendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(char(c));
    } else if (c < 0x800) {
        out.push_back(char(0xC0 | (c >> 6)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(char(0xE0 | (c >> 12)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (c >> 18)));
        out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    }
}

/// The first fault of UTF-16 text: where it is (a byte offset in the file) and what it is.
struct Utf16Fault
{
    std::size_t offset = std::string::npos; // npos when the text is valid
    std::string what;
};

/// UTF-16 in the given byte order to UTF-8. Each unit that is not part of a valid character (a
/// lone surrogate, a last odd byte) becomes U+FFFD; the first one is described in `fault`. `base`
/// is the offset of `bytes` in the file, for the description.
void decodeUtf16(std::string_view bytes, bool bigEndian, std::size_t base, std::string &out,
                 Utf16Fault &fault)
{
    out.clear();
    out.reserve(bytes.size() / 2 + bytes.size() / 8);
    const auto *b = reinterpret_cast<const unsigned char *>(bytes.data());
    const std::size_t units = bytes.size() / 2;
    auto unit = [&](std::size_t i) -> char32_t {
        return bigEndian ? char32_t(b[2 * i] << 8 | b[2 * i + 1])
                         : char32_t(b[2 * i + 1] << 8 | b[2 * i]);
    };
    auto bad = [&](std::size_t at, std::string what) {
        if (fault.offset == std::string::npos) {
            fault.offset = base + at;
            fault.what = std::move(what);
        }
        appendUtf8(out, 0xFFFD);
    };
    auto loneSurrogate = [](char32_t c) {
        char text[48];
        std::snprintf(text, sizeof text, "lone surrogate 0x%04X", unsigned(c));
        return std::string(text);
    };
    for (std::size_t i = 0; i < units; ++i) {
        char32_t c = unit(i);
        if (c >= 0xD800 && c <= 0xDBFF) {
            const char32_t low = i + 1 < units ? unit(i + 1) : 0;
            if (low < 0xDC00 || low > 0xDFFF) {
                bad(2 * i, loneSurrogate(c));
                continue;
            }
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            ++i;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            bad(2 * i, loneSurrogate(c));
            continue;
        }
        appendUtf8(out, c);
    }
    if (bytes.size() % 2 != 0)
        bad(bytes.size() - 1, "odd byte count: a last byte without its pair");
}

std::string latin1ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (char ch : bytes)
        appendUtf8(out, char32_t(static_cast<unsigned char>(ch)));
    return out;
}

TextFile::Error isDevice(std::string_view name)
{
    return {quoted(name) + ": is a device, not a file"};
}

TextFile::Error tooLarge(std::string_view name, std::size_t size)
{
    char text[160];
    std::snprintf(text, sizeof text, " is too large to open (%.1f GB; the limit is 2 GB)",
                  double(size) / 1e9);
    return {quoted(name) + text};
}

/// Reads bytes [offset, offset + size) of the file into `to`, up to the end of the file: how many
/// it read, or -1 with errno.
ssize_t readAt(int fd, char *to, std::size_t size, off_t offset)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::pread(fd, to + done, size - done, offset + off_t(done));
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        done += std::size_t(got);
    }
    return ssize_t(done);
}

/// Reads the first `size` bytes of a regular file into `to` in two halves at once, so that the
/// pages are zeroed and filled on two cores: how many it read (fewer if the file shrank
/// meanwhile), or -1 with errno. The file's offset is left after them.
ssize_t readHalves(int fd, char *to, std::size_t size)
{
    const std::size_t half = size / 2;
    std::array<ssize_t, 2> read{};
    std::array<int, 2> error{};
    kelvane::detail::runParts(2, [&](std::size_t k) {
        const std::size_t from = k == 0 ? 0 : half;
        read[k] = readAt(fd, to + from, (k == 0 ? half : size) - from, off_t(from));
        error[k] = errno;
    });
    if (read[0] < 0 || (std::size_t(read[0]) == half && read[1] < 0)) {
        errno = read[0] < 0 ? error[0] : error[1];
        return -1;
    }
    // Only a whole first half has the second after it; else the file shrank under the reads.
    const ssize_t total = read[0] + (std::size_t(read[0]) == half ? read[1] : 0);
    return ::lseek(fd, total, SEEK_SET) < 0 ? -1 : total;
}

/// Reads what is left to read from an open descriptor: a regular file by its size, anything else
/// (a pipe, a terminal) as a stream until its end. A device other than a terminal is refused;
/// `terminalAllowed` says whether a terminal may be read (standard input may be one). `name` is
/// used in messages. The descriptor stays open.
std::expected<std::string, TextFile::Error> readOpen(int fd, std::string_view name,
                                                     bool terminalAllowed)
{
    using TextFile::maxSize;
    struct stat info;
    if (::fstat(fd, &info) != 0)
        return std::unexpected(systemError("cannot read", name, errno));
    if (S_ISDIR(info.st_mode))
        return std::unexpected(TextFile::Error{quoted(name) + " is a directory, not a file"});
    if ((S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) && !(terminalAllowed && ::isatty(fd)))
        return std::unexpected(isDevice(name));
    if (S_ISREG(info.st_mode) && std::uintmax_t(info.st_size) > maxSize)
        return std::unexpected(tooLarge(name, std::size_t(info.st_size)));

    // Read straight into the string without zero-filling it first; for a regular file the size is
    // known, and anything past it (a file that grows while read, a pipe) is read in chunks.
    std::string bytes;
    std::size_t used = 0;
    // Standard input may be a file that a caller has already read part of: the rest is read.
    off_t start = 0;
    if (S_ISREG(info.st_mode))
        start = std::max<off_t>(0, std::min(::lseek(fd, 0, SEEK_CUR), info.st_size));
    std::size_t capacity =
        S_ISREG(info.st_mode) ? std::size_t(info.st_size - start) : std::size_t(64 * 1024);
    for (;;) {
        if (used == capacity) {
            char probe[4096];
            const ssize_t got = ::read(fd, probe, sizeof probe);
            if (got == 0)
                break;
            if (got > 0) {
                bytes.resize(used);
                bytes.append(probe, std::size_t(got));
                used = bytes.size();
                capacity = std::max(capacity * 2, used + 64 * 1024);
                if (used > maxSize)
                    return std::unexpected(tooLarge(name, used));
                continue;
            }
            if (errno == EINTR)
                continue;
            return std::unexpected(systemError("cannot read", name, errno));
        }
        if (bytes.size() < capacity) {
            if (used == 0)
                kelvane::detail::reserveHugePages(bytes, capacity);
            bytes.resize_and_overwrite(capacity, [used](char *, std::size_t) { return used; });
            bytes.resize_and_overwrite(capacity,
                                       [capacity](char *, std::size_t) { return capacity; });
            if (used > 0)
                kelvane::detail::adviseHugePages(bytes.data() + used, capacity - used);
        }
        // A large regular file is read from its start in two halves at once.
        const bool inHalves = used == 0 && start == 0 && S_ISREG(info.st_mode) &&
                              capacity >= kelvane::detail::halvesMinimum &&
                              kelvane::detail::hasSecondCore();
        const ssize_t got = inHalves ? readHalves(fd, bytes.data(), capacity)
                                     : ::read(fd, bytes.data() + used, capacity - used);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return std::unexpected(systemError("cannot read", name, errno));
        }
        if (got == 0)
            break;
        used += std::size_t(got);
    }
    bytes.resize(used);
    return bytes;
}

} // namespace

namespace TextFile {

std::expected<std::string, Error> readBytes(const std::string &path)
{
    // A device is refused before it is opened: reading /dev/zero would never end, and opening
    // some devices (a tape, a watchdog) does something by itself.
    struct stat before;
    if (::stat(path.c_str(), &before) == 0 && (S_ISCHR(before.st_mode) || S_ISBLK(before.st_mode)))
        return std::unexpected(isDevice(path));
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return std::unexpected(systemError("cannot open", path, errno));
    auto bytes = readOpen(fd, path, false);
    ::close(fd);
    return bytes;
}

std::expected<std::string, Error> readStandardInput()
{
    return readOpen(STDIN_FILENO, standardInputName, true);
}

std::expected<std::string, Error> decode(std::string bytes, Decoding decoding,
                                         std::string_view name)
{
    const std::string_view view = bytes;
    const bool littleBom = view.starts_with("\xFF\xFE");
    const bool bigBom = view.starts_with("\xFE\xFF");
    const bool littleIsa = view.starts_with(std::string_view("I\0S\0A\0", 6));
    const bool bigIsa = view.starts_with(std::string_view("\0I\0S\0A", 6));
    if (littleBom || bigBom || littleIsa || bigIsa) {
        // Clearly UTF-16, whatever faults follow: read as anything else it would be garbage.
        std::string text;
        Utf16Fault fault;
        const std::size_t skip = (littleBom || bigBom) ? 2 : 0;
        decodeUtf16(view.substr(skip), bigBom || bigIsa, skip, text, fault);
        if (fault.offset != std::string::npos && decoding == Decoding::strictUtf8) {
            return std::unexpected(Error{quoted(name) + " is not valid UTF-16 text (" + fault.what +
                                         " at offset " + std::to_string(fault.offset) + ")"});
        }
        if (text.size() > maxSize)
            return std::unexpected(tooLarge(name, text.size()));
        return text;
    }

    const std::size_t bomSize = view.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    bytes.erase(0, bomSize);
    const std::size_t bad = kelvane::detail::firstInvalidUtf8InHalves(bytes);
    if (bad == std::string::npos)
        return bytes;
    if (decoding == Decoding::strictUtf8) {
        char detail[96];
        std::snprintf(detail, sizeof detail, " is not valid UTF-8 text (byte 0x%02X at offset %zu)",
                      unsigned(static_cast<unsigned char>(bytes[bad])), bad + bomSize);
        return std::unexpected(Error{quoted(name) + detail});
    }
    std::string text = latin1ToUtf8(bytes);
    if (text.size() > maxSize)
        return std::unexpected(tooLarge(name, text.size()));
    return text;
}

std::string documentName(std::string_view path)
{
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    const std::size_t slash = path.rfind('/');
    if (slash != std::string_view::npos && path.size() > 1)
        path.remove_prefix(slash + 1);
    return VisibleText::validUtf8(path);
}

std::expected<std::string, Error> read(const std::string &path, Decoding decoding)
{
    auto bytes = readBytes(path);
    if (!bytes)
        return std::unexpected(std::move(bytes.error()));
    return decode(std::move(*bytes), decoding, path);
}

} // namespace TextFile
