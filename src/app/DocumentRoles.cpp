#include "app/DocumentRoles.h"

#include "core/guides/X12GuideLoops.h"
#include "core/model/X12Document.h"

#include <algorithm>

std::span<const X12GuideFinding> guideFindingsAbout(const X12GuideLoops &loops,
                                                    std::uint32_t segment)
{
    // In segment order, as the check lists them.
    const auto findings = loops.findings();
    const auto [first, last] =
        std::ranges::equal_range(findings, segment + 1, {}, &X12GuideFinding::position);
    return {first, last};
}

bool hasFinding(const X12Document &document, const X12GuideLoops &loops, std::uint32_t segment)
{
    const auto [first, last] = document.findingsAbout(segment);
    return first != last || !guideFindingsAbout(loops, segment).empty();
}

QString loopID(const std::optional<X12GuideLoop> &loop)
{
    // IDs come from the guide table: ASCII.
    return loop ? QString::fromLatin1(loop->id.data(), qsizetype(loop->id.size())) : QString();
}
