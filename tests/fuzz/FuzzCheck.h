#pragma once

#include <cstdio>
#include <cstdlib>
#include <string_view>

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

/// Whether text is well-formed UTF-8 (no overlongs, surrogates or code points past U+10FFFF).
bool isUtf8(std::string_view text);

/// Whether text is one complete JSON value, strictly per RFC 8259.
bool isJson(std::string_view text);

} // namespace fuzz
