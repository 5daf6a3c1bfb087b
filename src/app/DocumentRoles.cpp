#include "app/DocumentRoles.h"

#include "core/guides/X12GuideLoops.h"
#include "core/model/X12Document.h"

bool hasFinding(const X12Document &document, std::uint32_t segment)
{
    const auto [first, last] = document.findingsAbout(segment);
    return first != last;
}

QString loopID(const std::optional<X12GuideLoop> &loop)
{
    // IDs come from the guide table: ASCII.
    return loop ? QString::fromLatin1(loop->id.data(), qsizetype(loop->id.size())) : QString();
}
