#pragma once

#include "core/dictionary/X12Dictionary.h"
#include "core/model/X12Document.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

/// The body of the PDF report: the tree as styled text lines. Laying them out on pages is the
/// PDF layer's part; these are pure functions of the document.
namespace ReportLines {

enum class Style { title, header, loop, segment, element, note };

struct Line
{
    std::string text;      // one paragraph; it may wrap when drawn
    std::ptrdiff_t indent; // nesting level, 0 for top-level nodes
    Style style;

    friend bool operator==(const Line &, const Line &) = default;
};

/// The lines of a node and its subtree, depth-first: the node's title, its subtitle (if any), one
/// line per non-empty element and its raw text, one level deeper, then its children.
void appendLines(const X12Document &document, std::uint32_t node, std::ptrdiff_t depth,
                 std::vector<Line> &lines);

/// "NM103  Last Name or Organization: DOE" for every non-empty element, in order; dates, times
/// and amounts formatted (with the raw value in brackets), codes decoded.
std::vector<std::string> elementLines(const X12Segment &segment);

/// The report's lines in order, one at a time: the same lines as appendLines over every root, for
/// documents too large to hold them all at once.
class LineCursor
{
public:
    explicit LineCursor(const X12Document &document) : m_document(document) {}

    /// The next line, or false after the last one.
    bool next(Line &line);
    /// How far through the document the lines handed out so far reach, from 0 to 1.
    double progress() const;

private:
    // Where the walk stands within the current node's own lines. A segment may have millions of
    // elements, so its element lines are made one at a time rather than gathered first.
    enum class Step : std::uint8_t { title, subtitle, elements, raw };

    const X12Document &m_document;
    std::uint32_t m_node = 0;
    Step m_step = Step::title;
    std::size_t m_element = 0;
    std::optional<X12Dictionary::ElementVocabulary> m_vocabulary; // of the node's segment
    std::ptrdiff_t m_depth = 0;
};

} // namespace ReportLines
