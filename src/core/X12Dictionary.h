#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

class X12Segment;

/// The built-in vocabulary of X12: names of transaction sets, functional groups, segments and
/// elements, and the titles and one-line summaries of tree nodes. Tables are built once, on first
/// use, and are read-only afterwards, so every function here may be called from any thread.
namespace X12Dictionary {

using NameTable = std::unordered_map<std::string_view, std::string_view>;
using ElementNameTable = std::unordered_map<std::string_view, std::span<const std::string_view>>;

/// ST01 code to transaction set name (22 entries).
const NameTable &transactionSets();
/// GS01 code to functional group name with its set numbers (13 entries).
const NameTable &functionalGroups();
/// Segment tag to segment name (103 entries).
const NameTable &segmentNames();
/// Segment tag to the names of its elements; entry k names position k + 1 (85 segments).
const ElementNameTable &elementNames();

/// The segment's name, or "Segment " and the tag for tags the dictionary does not know.
std::string segmentName(std::string_view tag);

/// The transaction set's name, or "Transaction set " and the code.
std::string transactionSetName(std::string_view code);

/// The element's name at a position counted from 1, or its element reference (NM113, ZZZ01).
std::string elementName(std::string_view tag, std::ptrdiff_t position);

/// The tag followed by the position written as "%02d": NM101, CAS18, CAS100, NM100.
std::string elementReference(std::string_view tag, std::ptrdiff_t position);

/// Title of a loop node, made from the loop's first segment.
std::string loopTitle(const X12Segment &segment);
/// Subtitle of a loop node, made from the loop's first segment.
std::string loopSubtitle(const X12Segment &segment);
/// One-line summary of a segment, for segment nodes and the segment list.
std::string segmentSubtitle(const X12Segment &segment);
/// Subtitle of an interchange (ISA) or functional group (GS) node; empty for other segments.
std::string envelopeSubtitle(const X12Segment &segment);

} // namespace X12Dictionary
