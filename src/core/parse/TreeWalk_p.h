#pragma once

#include "core/model/DocumentTables_p.h"
#include "core/model/X12Document.h"
#include "core/support/Memory_p.h"

#include <string>
#include <vector>

namespace kelvane::detail {

/// The one walk over the segments: it builds the envelope and loop tree into `table` and, on the
/// way, records what is wrong with the envelopes (control numbers that do not match, counts that
/// are off, headers and trailers without each other, a malformed ISA). A large file is walked in
/// two parts at once, on two cores. `classes` are the segments' classes (TagClass), found while
/// they were cut. Returns the transaction set codes of the ST headers, each once, in the order
/// they first came.
std::vector<std::string> walkTree(const X12SegmentList &segments, NodeTable &table,
                                  LargeVector<X12Node::Kind> classes);

} // namespace kelvane::detail
