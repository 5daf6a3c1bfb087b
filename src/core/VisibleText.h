#pragma once

#include <cstddef>
#include <string>
#include <string_view>

/// Text as it may be printed or drawn. A value can hold any character; printed raw, a line feed
/// would forge an output line and an escape would drive the terminal. Control characters are
/// therefore shown as visible symbols: C0 as U+2400 to U+241F (NUL as ␀, LF as ␊, ESC as ␛), DEL
/// as U+2421 (␡), and C1 (U+0080 to U+009F, which the Control Pictures block has no symbols for)
/// as U+FFFD. The document keeps the raw bytes; only what is shown changes.
namespace VisibleText {

/// True when the text holds a character that append() would replace.
bool hasControl(std::string_view text) noexcept;

/// Offset of the first byte of the first such character, or the text's size.
std::size_t firstControl(std::string_view text) noexcept;

/// Appends UTF-8 text with its control characters replaced by their symbols.
void append(std::string &out, std::string_view text);

/// The text with its control characters replaced by their symbols.
std::string visible(std::string_view text);

/// The bytes with every one that is not part of valid UTF-8 replaced by U+FFFD, for names that
/// come from the file system, which may be any bytes.
std::string validUtf8(std::string_view bytes);

} // namespace VisibleText
