# Writes OUTPUT, a C++ source that defines `std::span<const std::string_view> NAME()` in namespace
# kelvane::detail: the lines of INPUT, without the blank ones and the comments (lines that begin
# with #). Run as a script: cmake -DINPUT=... -DOUTPUT=... -DNAME=... -P EmbedLines.cmake
file(STRINGS "${INPUT}" lines ENCODING UTF-8)
set(body "")
foreach(line IN LISTS lines)
    if(line STREQUAL "" OR line MATCHES "^#")
        continue()
    endif()
    string(REPLACE "\\" "\\\\" line "${line}")
    string(REPLACE "\"" "\\\"" line "${line}")
    string(APPEND body "    \"${line}\",\n")
endforeach()
set(source "// Made from ${INPUT} by EmbedLines.cmake at build time; do not edit.
#include <span>
#include <string_view>

namespace kelvane::detail {

std::span<const std::string_view> ${NAME}()
{
    static constexpr std::string_view lines[] = {
${body}    };
    return lines;
}

} // namespace kelvane::detail
")
# Only a change touches the file, so a rebuild recompiles only what changed.
if(EXISTS "${OUTPUT}")
    file(READ "${OUTPUT}" previous)
    if(previous STREQUAL source)
        return()
    endif()
endif()
file(WRITE "${OUTPUT}" "${source}")
