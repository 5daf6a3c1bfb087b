#pragma once

#include <cstdint>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

class X12Document;

/// The search of the segment list: which segments match a query typed by the user.
namespace SegmentFilter {

/// The query as it is matched: blanks and tabs trimmed from both ends (line breaks stay), then
/// lower-cased.
std::string normalizedQuery(std::string_view text);

/// Indices of the segments whose lower-cased raw text, lower-cased dictionary name or guide loop
/// ID contains the normalized query; every segment for an empty query. Document order. Once
/// `stop` is requested the search ends early and its result is empty: nobody wants it any more.
std::vector<std::uint32_t> matches(const X12Document &document, std::string_view text,
                                   std::stop_token stop = {});

} // namespace SegmentFilter
