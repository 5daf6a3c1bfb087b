#pragma once

#include "core/dictionary/X12Dictionary.h"
#include "core/model/X12Document.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

struct X12GuideFinding;

/// The body of the PDF report: what the document's findings are, then the tree, as styled text
/// lines. Laying them out on pages is the PDF layer's part; these are pure functions of the
/// document and its findings.
namespace ReportLines {

/// title: the heading of the findings; finding: a finding's line; the others are the tree's.
enum class Style { title, header, loop, segment, element, note, finding };

/// How bad the worst finding about a line is; a worse one compares greater.
enum class Mark : std::uint8_t { none, warning, error };

struct Line
{
    std::string text;      // one paragraph; it may wrap when drawn
    std::ptrdiff_t indent; // nesting level, 0 for top-level nodes
    Style style;
    // On a finding's own line, and in the tree on the title of a segment that findings concern
    // and on the lines of the elements that guide findings name.
    Mark mark = Mark::none;

    friend bool operator==(const Line &, const Line &) = default;
};

/// The lines of a node and its subtree, depth-first: the node's title, its subtitle (if any), one
/// line per non-empty element and its raw text, one level deeper, then its children.
void appendLines(const X12Document &document, std::uint32_t node, std::ptrdiff_t depth,
                 std::vector<Line> &lines);

/// "NM103  Last Name or Organization: DOE" for every non-empty element, in order; dates, times
/// and amounts formatted (with the raw value in brackets), codes decoded.
std::vector<std::string> elementLines(const X12Segment &segment);

/// Thousands grouped with commas: 1048576 gives "1,048,576".
std::string grouped(std::size_t number);

/// The report's lines in order, one at a time, for documents too large to hold them all at once.
/// First the findings, in the order --check lists them: a heading, the counts ("2 errors,
/// 1 warning") and a line each, "Segment 29 (CLM) · loop 2300 — error: CLM05-1 ...", marked
/// with its severity; or the one line "No findings". Then the same lines as appendLines over every
/// root, marked where findings concern them.
class LineCursor
{
public:
    /// `guideFindings` are those of X12GuideLoops::checked(document), in segment order; the
    /// cursor reads them as it goes, so they must outlive it.
    LineCursor(const X12Document &document, std::span<const X12GuideFinding> guideFindings);

    /// The next line, or false after the last one.
    bool next(Line &line);
    /// How far through the document the lines handed out so far reach, from 0 to 1.
    double progress() const;

private:
    // Where the walk stands: in the findings, or within the current node's own lines. A segment
    // may have millions of elements, so its element lines are made one at a time rather than
    // gathered first.
    enum class Step : std::uint8_t { heading, counts, findings, title, subtitle, elements, raw };

    bool nextFinding(Line &line);
    /// The worst finding about node m_node, and the elements its guide findings name into
    /// m_namedElements; moves the findings' walk past the node.
    Mark markNode();

    const X12Document &m_document;
    X12Dictionary::ReportedFindings m_envelope;
    std::span<const X12GuideFinding> m_guide;
    std::uint32_t m_node = 0;
    Step m_step = Step::heading;
    std::size_t m_element = 0;
    std::optional<X12Dictionary::ElementVocabulary> m_vocabulary; // of the node's segment
    std::ptrdiff_t m_depth = 0;
    // The section's next finding: the envelope's first, then the guides'.
    std::size_t m_finding = 0;
    // The tree's walk through the findings, which are in segment order: the first envelope and
    // guide findings about m_node or a later node.
    std::size_t m_envelopeAt = 0;
    std::size_t m_guideAt = 0;
    // The elements (from 1) that guide findings about m_node name, ascending, with each
    // finding's severity, and the first of them not behind the walk through its elements.
    std::vector<std::pair<std::size_t, Mark>> m_namedElements;
    std::size_t m_namedAt = 0;
};

} // namespace ReportLines
