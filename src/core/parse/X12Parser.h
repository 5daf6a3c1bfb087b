#pragma once

#include "core/model/X12Document.h"

#include <cstdint>
#include <expected>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

/// Turns the decoded text of a file into a document. Tolerant: apart from an empty text and a text
/// without segments, every input gives a document.
namespace X12Parser {

/// Parses UTF-8 text; fileName is what the document is called (the file's last path component).
/// The text is at most TextFile::maxSize bytes. The document keeps it with CR LF made LF, and
/// without the record breaks of a file hard-wrapped at a fixed width; offsets count in that text.
std::expected<std::shared_ptr<const X12Document>, X12ParseError> parse(std::string text,
                                                                       std::string fileName);

/// The delimiters from the ISA header, or guessed from the first 4000 characters without one.
X12Delimiters detectDelimiters(std::string_view text);

/// Cuts text into segments at the segment terminator and into elements at the element separator.
X12SegmentList splitSegments(std::string_view text, const X12Delimiters &delimiters);

/// Splits with the detected delimiters, or with a fallback terminator when that split does not
/// look like X12 (fewer than two segments, or a segment of 4000 characters or more). Without a
/// fallback, each later ISA that begins a segment and declares another element separator or
/// terminator (read by position, or by its separator where its fixed layout is broken) has the
/// text from there cut with those; the delimiters returned are the first interchange's. The lines
/// before a first ISA that begins a line end at their line breaks too.
std::pair<X12Delimiters, X12SegmentList> splitWithBestDelimiters(std::string_view text);

/// Builds the envelope and loop tree in one pass; loops nest by a fixed rank per starting segment.
/// The tree reads its nodes' texts from the segments, so the list must outlive it.
X12Tree buildTree(const X12SegmentList &segments);

} // namespace X12Parser
