#pragma once

#include <cstddef>
#include <cstdint>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

class X12Document;
class X12GuideLoops;

/// The search of the segment list: which segments match a query typed by the user.
namespace SegmentFilter {

/// The query as it is matched: blanks and tabs trimmed from both ends (line breaks stay), then
/// lower-cased.
std::string normalizedQuery(std::string_view text);

/// Indices of the segments whose lower-cased raw text, lower-cased dictionary name or guide loop
/// ID (in `loops`, the document's) contains the normalized query; every segment for an empty
/// query. Document order. Once `stop` is requested the search ends early and its result is
/// empty: nobody wants it any more.
std::vector<std::uint32_t> matches(const X12Document &document, const X12GuideLoops &loops,
                                   std::string_view text, std::stop_token stop = {});

/// Gives back a list that matches() returned once nobody reads it, so that a later search fills
/// it instead of fresh memory. Lists of a few thousand entries are simply freed.
void recycle(std::vector<std::uint32_t> &&list) noexcept;

/// Frees kept lists far larger than a search over this many segments needs, and keeps none such
/// from now on, so that a large file's lists are not held once a smaller one is open.
void fitSpareLists(std::size_t segments) noexcept;

/// Readies the lists a search over this many segments fills, their pages written once, so that
/// the first search in a large file does not wait for fresh memory. For a worker after opening.
void prepareRoom(std::size_t segments);

} // namespace SegmentFilter
