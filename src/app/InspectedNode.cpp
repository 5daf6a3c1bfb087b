#include "app/InspectedNode.h"

#include "app/DisplayText.h"
#include "app/DocumentRoles.h"
#include "core/dictionary/X12Dictionary.h"
#include "core/guides/X12GuideLoops.h"
#include "core/model/X12Document.h"

using DisplayText::shown;

namespace {

QString findingText(X12Finding::Severity severity, std::string_view message)
{
    return QString::fromLatin1(toString(severity).data()) + QStringLiteral(": ") +
           shown(message, DisplayText::maxLineLength);
}

/// The position of the element a reference names ("CLM05-1" of a CLM: 5), or 0.
std::ptrdiff_t elementPosition(std::string_view reference, std::string_view tag)
{
    if (!reference.starts_with(tag))
        return 0;
    std::ptrdiff_t position = 0;
    for (const char c : reference.substr(tag.size())) {
        if (c < '0' || c > '9' || position > 9'999'999)
            break;
        position = position * 10 + (c - '0');
    }
    return position;
}

/// The findings about one segment (by index), envelope and guide ones, at most
/// DisplayText::maxRows of them.
std::vector<InspectedNode::Finding> findingsAbout(const X12Document &document,
                                                  const X12GuideLoops &loops, std::uint32_t segment)
{
    std::vector<InspectedNode::Finding> findings;
    const auto [first, last] = document.findingsAbout(segment);
    for (std::size_t i = first; i < last && findings.size() < DisplayText::maxRows; ++i) {
        const X12Finding finding = document.finding(i);
        findings.push_back({findingText(finding.severity, finding.message)});
    }
    const std::string_view tag = document.segment(segment).tag();
    for (const X12GuideFinding &finding : guideFindingsAbout(loops, segment)) {
        if (findings.size() == DisplayText::maxRows)
            break;
        findings.push_back({findingText(finding.severity, finding.message),
                            elementPosition(finding.element, tag)});
    }
    return findings;
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
            findingsAbout(document, loops, node),
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
            findingsAbout(document, loops, segment),
            loopLine(loops, segment)};
}
