#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string_view>

class X12Document;
struct X12GuideFinding;

/// The findings of a parse as text, for reading and for scripts: a line each, such as
/// "segment 9 (GE): error: GE02 9 does not match GS06 1", then their counts ("1 error,
/// 0 warnings"), or "No findings." when there are none. Control characters show as symbols.
namespace X12FindingsText {

/// Writes the findings and their counts to `sink`, which returns false to stop the writing: the
/// envelope findings, then what the document breaks of its implementation guides, whose lines
/// name the loop ("segment 29 (CLM) loop 2300: error: ..."). Returns the number of findings,
/// written or not.
std::size_t write(const X12Document &document, std::span<const X12GuideFinding> guideFindings,
                  const std::function<bool(std::string_view)> &sink);

} // namespace X12FindingsText
