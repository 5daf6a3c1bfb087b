#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

/// A synthetic 837P (005010X222A1) file of about approximateBytes bytes, for benchmarks. The same
/// size and seed give the same text. Segments end in "~" and a line feed; the file holds at least
/// one claim, so it can be a few kilobytes larger than asked.
std::string generate837(std::size_t approximateBytes, std::uint64_t seed = 1);
