#pragma once

#include <functional>
#include <string_view>

class X12Document;

/// The whole parse as one JSON text, for scripts: delimiters, every segment with every element
/// (named, and formatted or decoded where the dictionary can), and the tree.
namespace X12Json {

/// Writes the document. The text arrives at `sink` in pieces of about a megabyte; when the sink
/// returns false, writing stops and write returns false. Memory stays that of the document.
bool write(const X12Document &document, const std::function<bool(std::string_view)> &sink);

} // namespace X12Json
