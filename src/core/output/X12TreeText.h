#pragma once

#include <functional>
#include <string>
#include <string_view>

class X12Document;

/// The envelope and loop tree as text, for reading: one node a line in document order, indented
/// two spaces a level, its title and, when it has one, "  — " and its subtitle. Control
/// characters show as symbols (VisibleText), so a value can neither forge a line nor drive a
/// terminal.
namespace X12TreeText {

/// Writes the tree. The text arrives at `sink` in pieces of about a megabyte; when the sink
/// returns false, writing stops and write returns false. Memory stays that of the document, even
/// for a segment of gigabytes.
bool write(const X12Document &document, const std::function<bool(std::string_view)> &sink);

/// Appends the whole tree to `out`, made on the calling thread alone: for a small document whose
/// text is made beside others, on a thread of its own. Holds the text in memory.
void append(const X12Document &document, std::string &out);

} // namespace X12TreeText
