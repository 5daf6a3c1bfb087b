#pragma once

#include <expected>
#include <string>
#include <string_view>

/// Reading files whole and decoding them to UTF-8: the one decoding step every entry point shares.
namespace TextFile {

/// What to do with bytes that are not UTF-8.
enum class Decoding {
    strictUtf8,   // they are an error
    utf8OrLatin1, // the whole file is read as ISO Latin 1 instead
};

struct Error
{
    std::string message;
    std::string_view description() const noexcept { return message; }
};

/// The largest text that can be opened, 2 GiB: ICU measures text with 32-bit signed lengths.
inline constexpr std::size_t maxSize = 0x7FFF'FFFEu;

/// How messages name standard input.
inline constexpr std::string_view standardInputName = "standard input";

/// Reads a whole file; a pipe or FIFO is read as a stream to its end. Fails with a message that
/// names the problem and the path, at once for a device ("“/dev/zero”: is a device, not a file").
std::expected<std::string, Error> readBytes(const std::string &path);

/// Reads standard input to its end, as readBytes reads a file (a terminal may be read too).
std::expected<std::string, Error> readStandardInput();

/// Decodes a file's bytes. A leading UTF-8 byte-order mark is dropped. Bytes that start with a
/// UTF-16 byte-order mark, or with "ISA" in UTF-16, are UTF-16: a unit that is not part of a valid
/// character (a lone surrogate, a last odd byte) is an error for strictUtf8, naming its offset,
/// and U+FFFD otherwise. Everything else is UTF-8, or per `decoding`. `name` is used in messages.
std::expected<std::string, Error> decode(std::string bytes, Decoding decoding,
                                         std::string_view name);

/// What a document read from `path` is called: the path's last component ("dir/claims.edi" gives
/// "claims.edi"), with bytes that are not UTF-8 shown as U+FFFD.
std::string documentName(std::string_view path);

/// readBytes then decode.
std::expected<std::string, Error> read(const std::string &path, Decoding decoding);

} // namespace TextFile
