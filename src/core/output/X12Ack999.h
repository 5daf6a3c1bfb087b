#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

class X12Document;
class X12GuideLoops;

/// The 999 implementation acknowledgment (005010X231A1) of a document: an interchange back to the
/// sender of each of its interchanges, with one 999 for each functional group. Each set gets an
/// AK2, an IK3 for each segment with findings and an IK4 for each element finding under it, and
/// an IK5 that accepts it (A), accepts it with errors noted when it has only warnings (E), or
/// rejects it (R) when it has an error; the envelope's own findings about the set (SE01, ST02 and
/// SE02) and the group (GS06, GE) count too. A set that names a health-care guide Kelvane does not
/// know was not checked: it is rejected as of an implementation convention not supported (IK502
/// I6). A set whose ST02 cannot be echoed (it is not of 4 to 9 characters) is named 0000 and
/// rejected (IK502 7); a group without a GS06 of 1 to 9 digits is named 0, and its envelope
/// finding rejects it (AK905 6). An interchange whose ISA or IEA has findings is rejected
/// whole by a TA1 in place of its 999s; one without groups is accepted by a TA1. Only findings that
/// the acknowledgment has a code for are reported: the sums of claims and payments and the
/// numbering of HL and LX are left to the application's own response (a 277CA). The output has the
/// interchange's delimiters, and line breaks after its terminators when the interchange has them.
namespace X12Ack999 {

struct Options
{
    std::string date; // CCYYMMDD: GS04, and without its century ISA09
    std::string time; // HHMM: ISA10 and GS05
    // The first ISA13 and GS06; each interchange and group written takes the next (after
    // 999999999 comes 1). Each group holds one set, whose ST02 is 0001.
    std::uint32_t controlNumber = 1;
};

/// Writes the acknowledgment of every interchange of `document`, given what it breaks of its
/// implementation guides (`checked`, as X12GuideLoops::checked() made it), to `sink`, which
/// returns false to stop the writing. Returns how many interchanges it acknowledges: 0 when the
/// document has none, and nothing is written.
std::size_t write(const X12Document &document, const X12GuideLoops &checked, const Options &options,
                  const std::function<bool(std::string_view)> &sink);

} // namespace X12Ack999
