#pragma once

#include "core/model/X12Document.h"
#include "core/parse/SegmentScanner_p.h"

#include <cstddef>
#include <string_view>
#include <utility>

namespace kelvane::detail {

/// Cuts the text with the delimiters and, when `followsHeaders`, from each later ISA that declares
/// another element separator or terminator on with those. Before byte `linesEnd`, which is 0 or
/// follows a line break, line breaks end segments too. A large text is cut in two halves at once,
/// on two cores, where that gives the same segments as one pass.
std::pair<X12SegmentList, SplitStats> split(std::string_view text, const X12Delimiters &delimiters,
                                            bool followsHeaders = false, std::size_t linesEnd = 0);

} // namespace kelvane::detail
