// Fuzz target: the whole path a file takes, from its bytes to every text Kelvane shows or writes.
// Bytes are decoded as the window decodes them, parsed, and then every node's title and subtitle,
// the report lines, the JSON, the envelope findings, the check against the implementation guides
// and a search are produced and checked.

#include "FuzzCheck.h"

#include "core/output/ReportLines.h"
#include "core/guides/X12GuideLoops.h"
#include "core/output/X12Ack999.h"
#include "core/search/SegmentFilter.h"
#include "core/text/TextFile.h"
#include "core/output/X12Csv.h"
#include "core/model/X12Document.h"
#include "core/output/X12Json.h"
#include "core/dictionary/X12Dictionary.h"
#include "core/parse/X12Parser.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

using fuzz::check;

namespace {

void checkTree(const X12Document &document)
{
    const std::size_t count = document.nodeCount();
    check(count == document.segments().size(), "one node per segment");
    std::size_t reached = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const X12Node node = document.node(i);
        const std::string title = X12Dictionary::nodeTitle(document, i);
        check(reference::isUtf8(title) &&
                  reference::isUtf8(X12Dictionary::nodeSubtitle(document, i)),
              "node texts are UTF-8");
        check(!title.empty(), "every node has a title");
        check(node.parent == X12Document::rootId() || node.parent < i, "parents come first");
        const auto siblings = document.children(node.parent);
        check(node.row < siblings.size() && siblings[node.row] == i, "row matches the parent");
        check(node.row == 0 || siblings[node.row - 1] < i, "siblings in file order");
        // Depth first is file order: a node hangs from the one before it or from one of its
        // ancestors.
        if (i > 0) {
            std::uint32_t above = i - 1;
            while (above != node.parent && above != X12Document::rootId())
                above = document.node(above).parent;
            check(above == node.parent, "depth-first order is file order");
        }
        check(node.childCount == document.children(i).size(), "child count");
        reached += node.childCount;
    }
    check(reached + document.rootNodes().size() == count, "every node is someone's child");

    std::ptrdiff_t position = 0;
    std::ptrdiff_t offset = -1;
    for (const X12Segment segment : document.segments()) {
        check(segment.position() == ++position, "positions count from 1");
        check(segment.offset() > offset && !segment.raw().empty(), "segments follow each other");
        offset = segment.offset();
        check(reference::isUtf8(segment.raw()), "raw text is UTF-8");
        for (const std::string_view element : segment.elements())
            check(reference::isUtf8(element), "elements are UTF-8");
    }
}

/// The report: a line per finding after a heading and the counts (one line when there are none),
/// then the lines of appendLines, where the title of each segment that findings concern is marked.
void checkReport(const X12Document &document, std::span<const X12GuideFinding> guideFindings)
{
    std::vector<ReportLines::Line> expected;
    for (const std::uint32_t root : document.rootNodes())
        ReportLines::appendLines(document, root, 0, expected);
    const X12Dictionary::ReportedFindings envelope(document);
    std::vector<bool> concerned(document.segments().size());
    for (std::size_t i = 0; i < envelope.size(); ++i)
        concerned[envelope.segment(i)] = true;
    for (const X12GuideFinding &finding : guideFindings)
        concerned[finding.position - 1] = true;
    const std::size_t findings = envelope.size() + guideFindings.size();
    const std::size_t section = findings == 0 ? 1 : findings + 2;

    ReportLines::LineCursor cursor(document, guideFindings);
    ReportLines::Line line;
    std::size_t at = 0;
    std::uint32_t node = 0;
    bool title = true; // the tree's next line is a node's title
    double progress = 0;
    while (cursor.next(line)) {
        check(reference::isUtf8(line.text), "report lines are UTF-8");
        check(cursor.progress() >= progress && cursor.progress() <= 1.0, "progress rises to 1");
        progress = cursor.progress();
        if (at++ < section)
            continue;
        const std::size_t tree = at - 1 - section;
        check(tree < expected.size() && line.text == expected[tree].text &&
                  line.indent == expected[tree].indent && line.style == expected[tree].style,
              "cursor lines match appendLines");
        if (title)
            check((line.mark != ReportLines::Mark::none) == concerned[node++],
                  "titles are marked where findings are");
        title = line.style == ReportLines::Style::segment;
    }
    check(at == section + expected.size(), "cursor hands out every line");
    check(cursor.progress() == 1.0, "progress ends at 1");
}

void checkJson(const X12Document &document)
{
    std::string json;
    const bool complete = X12Json::write(document, [&json](std::string_view piece) {
        json += piece;
        return true;
    });
    check(complete, "JSON written whole");
    check(fuzz::isJson(json), "JSON is well-formed");
    for (std::size_t i = 0; i < json.size(); ++i)
        check(json[i] == '\n' || reference::controlAt(json, i) == 0, "JSON escapes controls");
}

/// The CSV: a header, then a record per element, or one for a segment without elements, that holds
/// the segment's position, its tag (cut past 32 bytes, as in references) and the element.
void checkCsv(const X12Document &document)
{
    std::string csv;
    const bool complete = X12Csv::write(document, [&csv](std::string_view piece) {
        csv += piece;
        return true;
    });
    check(complete, "CSV written whole");
    check(reference::isUtf8(csv), "CSV is UTF-8");
    const auto records = fuzz::csvRecords(csv);
    check(records && !records->empty() && records->front().size() == 7, "CSV is RFC 4180");
    std::size_t at = 1;
    for (const X12Segment segment : document.segments()) {
        for (std::size_t i = 0; i < std::max<std::size_t>(segment.elementCount(), 1); ++i) {
            check(at < records->size() && (*records)[at].size() == 7, "a CSV record per element");
            const std::vector<std::string> &fields = (*records)[at++];
            check(fields[1] == std::to_string(segment.position()) &&
                      (segment.tag().size() > 32 || fields[2] == segment.tag()) &&
                      fields[5] == (segment.elementCount() == 0 ? "" : segment.element(i)),
                  "CSV fields hold the segment");
        }
    }
    check(at == records->size(), "no CSV records but the elements");
}

void checkFindings(const X12Document &document)
{
    std::uint32_t previous = 0;
    for (std::size_t i = 0; i < document.findingCount(); ++i) {
        const X12Finding finding = document.finding(i);
        check(document.findingSegment(i) + 1 == finding.position, "finding positions agree");
        check(finding.position >= 1 && finding.position <= document.segments().size(),
              "findings name a segment");
        check(finding.position >= previous, "findings in segment order");
        check(reference::isUtf8(finding.message) && !finding.message.empty(), "finding messages");
        previous = finding.position;
    }
}

void checkSearch(const X12Document &document)
{
    const std::string queries[] = {std::string(document.segment(0).tag()), "nm1", " e "};
    for (const std::string &query : queries) {
        const std::vector<std::uint32_t> found =
            SegmentFilter::matches(document, X12GuideLoops::of(document), query);
        for (std::size_t i = 0; i < found.size(); ++i) {
            check(found[i] < document.segments().size(), "matches are segments");
            check(i == 0 || found[i - 1] < found[i], "matches in order");
        }
    }
}

/// The check of the sets against their guides: it places every segment where the walk alone does,
/// and each finding names a segment, in segment order, with readable texts.
void checkGuides(const X12Document &document, const X12GuideLoops &checked)
{
    const X12GuideLoops walked = X12GuideLoops::of(document);
    const auto count = std::uint32_t(document.segments().size());
    for (std::uint32_t i = 0; i < count; ++i)
        check(checked.loopOf(i) == walked.loopOf(i) &&
                  checked.loopBegunBy(i) == walked.loopBegunBy(i),
              "the check places segments as the walk does");
    std::uint32_t previous = 0;
    for (const X12GuideFinding &finding : checked.findings()) {
        check(finding.position >= 1 && finding.position <= count, "guide findings name a segment");
        check(finding.position >= previous, "guide findings in segment order");
        previous = finding.position;
        check(finding.severity == X12Finding::Severity::error ||
                  finding.severity == X12Finding::Severity::warning,
              "guide finding severity");
        // Reading every text, views into the guide table included, lets the sanitizers see a
        // dangling one.
        for (const std::string_view text : {std::string_view(finding.element), finding.loop,
                                            finding.rule, finding.segmentCode, finding.elementCode})
            check(reference::isUtf8(text) && text.size() <= 64, "guide finding fields");
        check(!finding.message.empty() && reference::isUtf8(finding.message),
              "guide finding messages");
    }
    // A set of a guide Kelvane does not know is an ST that the walk places nowhere; the
    // acknowledgment looks them up in order.
    previous = 0;
    for (const X12UncheckedSet &set : checked.uncheckedSets()) {
        check(set.position > previous && set.position <= count &&
                  document.segment(set.position - 1).tag() == "ST" &&
                  !checked.loopOf(set.position - 1),
              "unchecked sets are STs placed nowhere, in order");
        previous = set.position;
    }
    // The acknowledgment of what the check found: written whole, as UTF-8, with an interchange
    // for each of the document's.
    std::string ack;
    const std::size_t interchanges = X12Ack999::write(document, checked, {"20240101", "1200", 1},
                                                      [&ack](std::string_view piece) {
                                                          ack += piece;
                                                          return true;
                                                      });
    check(reference::isUtf8(ack), "the acknowledgment is UTF-8");
    check((interchanges == 0) == ack.empty(), "an acknowledgment for each interchange");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::string bytes(reinterpret_cast<const char *>(data), size);
    // The strict decoding must fail cleanly or agree with the lenient one on UTF-8 input.
    auto strict = TextFile::decode(bytes, TextFile::Decoding::strictUtf8, "fuzz.edi");
    auto text = TextFile::decode(std::move(bytes), TextFile::Decoding::utf8OrLatin1, "fuzz.edi");
    check(text.has_value(), "lenient decoding always succeeds");
    check(reference::isUtf8(*text), "decoded text is UTF-8");
    check(!strict || *strict == *text, "strict and lenient decodings agree");

    auto parsed = X12Parser::parse(std::move(*text), "fuzz.edi");
    if (!parsed)
        return 0;
    const X12Document &document = **parsed;
    check(!document.segments().empty(), "a document has segments");
    check(reference::isUtf8(document.summaryLine()), "summary is UTF-8");

    const X12GuideLoops checked = X12GuideLoops::checked(document);
    checkTree(document);
    checkJson(document);
    checkCsv(document);
    checkFindings(document);
    checkSearch(document);
    checkGuides(document, checked); // before the report, which relies on its positions
    checkReport(document, checked.findings());
    return 0;
}
