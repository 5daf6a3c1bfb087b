#pragma once

#include "core/support/TagKey_p.h"

#include <cstdint>
#include <string_view>

namespace kelvane::detail {

/// What the tree's walk needs to know of a segment's tag. It is found for every segment as the
/// text is cut, while the tag is at hand, so that the walk reads one byte a segment.
enum class TagClass : std::uint8_t {
    other,
    isa,
    iea,
    gs,
    ge,
    st,
    se,
    hl20, // HL by its level code (HL03)
    hl21,
    hl22,
    hl23,
    hlOther,
    claim, // CLM, PAT, INS, ENT
    clp,
    lx,
    ts,      // TS3, TS2
    service, // SV1, SV2, SV3, SV5, SVD
    svc,
    name, // NM1, N1
    count
};

/// The class of a segment by its tag; `level` gives the HL segment's level code (HL03).
template <typename Level>
[[gnu::always_inline]] inline TagClass classOf(std::string_view tag, Level &&level) noexcept
{
    switch (tagKey(tag)) {
    case tagKey("ISA"):
        return TagClass::isa;
    case tagKey("IEA"):
        return TagClass::iea;
    case tagKey("GS"):
        return TagClass::gs;
    case tagKey("GE"):
        return TagClass::ge;
    case tagKey("ST"):
        return TagClass::st;
    case tagKey("SE"):
        return TagClass::se;
    case tagKey("HL"): {
        const std::string_view code = level();
        if (code == "20")
            return TagClass::hl20;
        if (code == "21")
            return TagClass::hl21;
        if (code == "22")
            return TagClass::hl22;
        if (code == "23")
            return TagClass::hl23;
        return TagClass::hlOther;
    }
    case tagKey("CLM"):
    case tagKey("PAT"):
    case tagKey("INS"):
    case tagKey("ENT"):
        return TagClass::claim;
    case tagKey("CLP"):
        return TagClass::clp;
    case tagKey("LX"):
        return TagClass::lx;
    case tagKey("TS3"):
    case tagKey("TS2"):
        return TagClass::ts;
    case tagKey("SV1"):
    case tagKey("SV2"):
    case tagKey("SV3"):
    case tagKey("SV5"):
    case tagKey("SVD"):
        return TagClass::service;
    case tagKey("SVC"):
        return TagClass::svc;
    case tagKey("NM1"):
    case tagKey("N1"):
        return TagClass::name;
    default:
        return TagClass::other;
    }
}

} // namespace kelvane::detail
