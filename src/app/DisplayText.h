#pragma once

#include <QString>

#include <cstddef>
#include <string_view>

/// Turning document text into what widgets show. A hostile file can hold a segment of 50 MB or
/// millions of elements; a label or a row laid out from all of it would freeze the window, so what
/// is shown is bounded, and the full text stays available to copying and to the exports.
namespace DisplayText {

/// The most bytes of one text shown wrapped or scrolled: a value, a raw segment.
inline constexpr std::size_t maxLength = 10'000;
/// The most bytes of a text shown on one line: a title, subtitle, tag, name or finding. A label
/// 10,000 characters wide would stretch the whole inspector with it.
inline constexpr std::size_t maxLineLength = 300;
/// The most element rows, or findings, listed in the inspector.
inline constexpr std::size_t maxRows = 1'000;

/// The text as shown: control characters as visible symbols (␊ for a line feed, ␛ for an
/// escape), as the command line and the report show them.
QString toQString(std::string_view text);

/// The text exactly as the file has it, for the clipboard.
QString exact(std::string_view text);

/// The text as shown, or its first `limit` bytes (cut at a character boundary) followed by "…".
QString shown(std::string_view text, std::size_t limit = maxLength);

/// How a delimiter is shown: "\n (newline)", "\r", the character itself, or "0x1D" for other
/// control characters.
QString delimiter(std::string_view delimiter);

} // namespace DisplayText
