#include "app/InspectedNode.h"

#include "app/DisplayText.h"
#include "core/dictionary/X12Dictionary.h"
#include "core/guides/X12GuideLoops.h"
#include "core/model/X12Document.h"

using DisplayText::shown;

namespace {

/// The findings about one segment (by index), as "error: message" texts.
QStringList findingsAbout(const X12Document &document, std::uint32_t segment)
{
    QStringList texts;
    const auto [first, last] = document.findingsAbout(segment);
    for (std::size_t i = first; i < last; ++i) {
        const X12Finding finding = document.finding(i);
        texts << QString::fromLatin1(toString(finding.severity).data()) + QStringLiteral(": ") +
                     shown(finding.message, DisplayText::maxLineLength);
    }
    return texts;
}

/// The guide loop a segment (by index) is in, as the inspector's header names it, or empty.
QString loopLine(const X12GuideLoops &loops, std::uint32_t segment)
{
    const auto loop = loops.loopOf(segment);
    if (!loop)
        return {};
    return QStringLiteral("Loop %1 \u00B7 %2")
        .arg(QString::fromUtf8(loop->id.data(), qsizetype(loop->id.size())),
             QString::fromUtf8(loop->name.data(), qsizetype(loop->name.size())));
}

} // namespace

InspectedNode InspectedNode::ofNode(const X12Document &document, const X12GuideLoops &loops,
                                    std::uint32_t node)
{
    return {shown(X12Dictionary::nodeTitle(document, node), DisplayText::maxLineLength),
            shown(X12Dictionary::nodeSubtitle(document, node), DisplayText::maxLineLength),
            node,
            std::uint32_t(document.children(node).size()),
            findingsAbout(document, node),
            loopLine(loops, node)};
}

InspectedNode InspectedNode::ofSegment(const X12Document &document, const X12GuideLoops &loops,
                                       std::uint32_t segment)
{
    const X12Segment s = document.segment(segment);
    return {shown(X12Dictionary::segmentTitle(s.tag()), DisplayText::maxLineLength),
            shown(X12Dictionary::segmentSubtitle(s), DisplayText::maxLineLength),
            segment,
            0,
            findingsAbout(document, segment),
            loopLine(loops, segment)};
}
