#pragma once

#include "common/TextReference.h"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Shared by the fuzz targets: a broken invariant aborts, so the fuzzer keeps the input.
namespace fuzz {

[[noreturn]] inline void fail(const char *what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

inline void check(bool condition, const char *what)
{
    if (!condition)
        fail(what);
}

/// Whether text is one complete JSON value, strictly per RFC 8259.
bool isJson(std::string_view text);

using CsvRecords = std::vector<std::vector<std::string>>;

/// The fields of every record of a strict RFC 4180 text: each record ends with CRLF, and a quote
/// may only open a field and stand doubled inside it. Nothing, when the text breaks a rule.
std::optional<CsvRecords> csvRecords(std::string_view text);

} // namespace fuzz
