#pragma once

// What the parser does to a text's line breaks before it cuts it into segments.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kelvane::detail {

/// Removes the CR of every CR LF pair, in place.
void normalizeLineEnds(std::string &text);

/// The width in bytes of the records the text was hard-wrapped into, if it was: every line but
/// the last as long (at least two lines that long, and 40 bytes), a header that declares a
/// terminator other than a line end, and a line break that falls inside a segment, not only
/// after terminators and blanks. Files that end their segments at line breaks are never taken.
std::optional<std::size_t> recordWidth(std::string_view text);

/// Removes the line break after every record of `width` bytes, in place, up to the first line
/// that is not as long: that one, the last of a wrapped file, and all after it stay as they are.
void removeRecordBreaks(std::string &text, std::size_t width);

} // namespace kelvane::detail
