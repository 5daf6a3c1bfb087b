#pragma once

#include <functional>
#include <string_view>

class X12Document;

/// The elements of a parse as a table for spreadsheets and scripts (RFC 4180: UTF-8, CRLF line
/// ends, fields with a comma, quote, CR or LF in quotes, quotes doubled). A header row, then one
/// row per element: Path (the titles of the segment's ancestors in the tree, joined by " / ",
/// each cut to 200 bytes), Position, Tag (cut to 32 bytes, as the references show it), Element
/// (NM101), Name, Value (as in the file) and Text (the formatted date, time or amount or the
/// decoded code, else the value). A segment without elements gives one row whose element fields
/// are empty. What a row repeats is cut so that the table stays in proportion to the file.
namespace X12Csv {

struct Options
{
    /// Starts with a UTF-8 byte-order mark, by which spreadsheet programs recognise UTF-8.
    bool byteOrderMark = false;
    /// Puts an apostrophe before a Value or Text that a spreadsheet would take for a formula: one
    /// that begins with =, +, -, @, a tab or a CR and is not a number (-12.50 stays as it is).
    bool guardFormulas = false;
};

/// The header row, with its line end.
inline constexpr std::string_view headerRow = "Path,Position,Tag,Element,Name,Value,Text\r\n";

/// Writes the table. The text arrives at `sink` in pieces of about a megabyte; when the sink
/// returns false, writing stops and write returns false. Memory stays that of the document.
bool write(const X12Document &document, const std::function<bool(std::string_view)> &sink,
           Options options = {});

} // namespace X12Csv
