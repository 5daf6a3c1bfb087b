#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class X12Document;

/// One problem with a document's envelopes.
struct X12Finding
{
    enum class Severity { error, warning };

    Severity severity;
    std::uint32_t position; // of the segment it concerns, from 1
    std::string message;    // names the elements and their values

    friend bool operator==(const X12Finding &, const X12Finding &) = default;
};

std::string_view toString(X12Finding::Severity severity) noexcept;

/// The envelope checks that answer "why was this file rejected?": control numbers that do not
/// match, counts that are off, headers and trailers without each other, a malformed ISA.
namespace X12EnvelopeCheck {

/// The findings in segment order; empty for sound envelopes. One pass; the document is only read.
std::vector<X12Finding> findings(const X12Document &document);

} // namespace X12EnvelopeCheck
