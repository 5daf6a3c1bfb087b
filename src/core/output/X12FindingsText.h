#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string_view>

class X12Document;
class X12GuideLoops;

/// The findings of a parse as text, for reading and for scripts: a line each, such as
/// "segment 9 (GE): error: GE02 9 does not match GS06 1", then their counts ("1 error,
/// 0 warnings"), or "No findings." when there are none. Control characters show as symbols.
namespace X12FindingsText {

/// Writes the findings and their counts to `sink`, which returns false to stop the writing: the
/// envelope findings, then what the document breaks of its implementation guides (`checked`, as
/// X12GuideLoops::checked() made it, or an empty one), whose lines name the loop ("segment 29
/// (CLM) loop 2300: error: ..."), then a note for each set that names a health-care guide
/// Kelvane does not know ("segment 3 (ST): note: ..."), which is no finding and is not counted.
/// Returns the number of findings, written or not.
std::size_t write(const X12Document &document, const X12GuideLoops &checked,
                  const std::function<bool(std::string_view)> &sink);

} // namespace X12FindingsText
