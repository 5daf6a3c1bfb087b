#pragma once

#include <functional>
#include <string>
#include <string_view>

class X12Document;

/// The whole parse as one JSON text, for scripts: delimiters, every segment with every element
/// (named, and formatted or decoded where the dictionary can), and the tree.
namespace X12Json {

/// How the text is laid out. The documents are the same JSON either way.
enum class Layout {
    lines,   // a line per segment, root node and finding, for reading and for line tools
    oneLine, // the whole document on one line, a line of JSON Lines
};

/// Writes the document, ending with a line feed. The text arrives at `sink` in pieces of about a
/// megabyte; when the sink returns false, writing stops and write returns false. Memory stays
/// that of the document.
bool write(const X12Document &document, const std::function<bool(std::string_view)> &sink,
           Layout layout = Layout::lines);

/// The line that stands for a file that could not be read or parsed among JSON Lines:
/// {"fileName":"claims.edi","error":"The file is empty."} and a line feed.
std::string errorLine(std::string_view fileName, std::string_view message);

} // namespace X12Json
