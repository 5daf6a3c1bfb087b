#include "core/output/ReportLines.h"

#include "core/dictionary/X12Dictionary.h"
#include "core/guides/X12GuideLoops.h"

#include <algorithm>
#include <charconv>

namespace {

using ReportLines::Line;
using ReportLines::Mark;
using ReportLines::Style;

Mark markOf(bool error)
{
    return error ? Mark::error : Mark::warning;
}

/// A finding's line: "Segment 29 (CLM) · loop 2300 — error: " and the message, with the element
/// after the loop when the message does not begin with it.
void appendFinding(std::string &out, const X12Document &document, std::uint32_t position,
                   std::string_view loop, std::string_view element, bool error,
                   std::string_view message)
{
    out += "Segment ";
    out += std::to_string(position);
    if (position >= 1 && position <= document.segments().size()) {
        out += " (";
        out += X12Dictionary::quotedTag(document.segment(position - 1).tag());
        out += ')';
    }
    if (!loop.empty()) {
        out += " \u00B7 loop ";
        out.append(loop);
    }
    // A guide's message mostly begins with the element already ("CLM02 500 is not...").
    if (!element.empty() && !message.starts_with(element)) {
        out += " \u00B7 ";
        out.append(element);
    }
    out += " \u2014 ";
    out += toString(error ? X12Finding::Severity::error : X12Finding::Severity::warning);
    out += ": ";
    out.append(message);
}

/// The element (from 1) that a guide finding about a segment with this tag names: 5 for CLM05 and
/// CLM05-1; 0 when it names none.
std::size_t namedElement(std::string_view reference, std::string_view tag)
{
    const std::string quoted = X12Dictionary::quotedTag(tag);
    if (!reference.starts_with(quoted))
        return 0;
    reference.remove_prefix(quoted.size());
    std::size_t position = 0;
    const char *end = reference.data() + reference.size();
    const auto [stop, error] = std::from_chars(reference.data(), end, position);
    return error == std::errc() && (stop == end || *stop == '-') ? position : 0;
}

Style titleStyle(X12Node::Kind kind)
{
    switch (kind) {
    case X12Node::Kind::interchange:
    case X12Node::Kind::functionalGroup:
    case X12Node::Kind::transaction:
        return Style::header;
    case X12Node::Kind::loop:
        return Style::loop;
    case X12Node::Kind::segment:
        return Style::element;
    }
    return Style::element;
}

/// One element's line, or nothing for an empty element: "NM103  Last Name or Organization: DOE",
/// a formatted value followed by the value as written in brackets, a decoded one by its meaning.
bool appendElementLine(std::string &out, const X12Dictionary::ElementVocabulary &vocabulary,
                       std::ptrdiff_t position, std::string_view value)
{
    using Reading = X12Dictionary::ElementDescription::Reading;
    if (value.empty())
        return false;
    const X12Dictionary::ElementDescription element = vocabulary.describe(position, value);
    out += element.reference;
    out += "  ";
    out += element.name;
    out += ": ";
    switch (element.reading) {
    case Reading::formatted:
        out += element.readable;
        out += "  [";
        out.append(value);
        out += ']';
        break;
    case Reading::decoded:
        out.append(value);
        out += " \u2014 ";
        out += element.readable;
        break;
    case Reading::plain:
        out.append(value);
        break;
    }
    return true;
}

/// A node's own lines, without its children's.
void appendNodeLines(const X12Document &document, std::uint32_t node, std::ptrdiff_t depth,
                     std::vector<Line> &lines)
{
    const X12Segment segment = document.segment(node);
    Line title{{}, depth, titleStyle(document.kind(node))};
    X12Dictionary::appendNodeTitle(document, segment, title.text);
    lines.push_back(std::move(title));
    Line subtitle{{}, depth + 1, Style::note};
    X12Dictionary::appendNodeSubtitle(document, segment, subtitle.text);
    if (!subtitle.text.empty())
        lines.push_back(std::move(subtitle));
    const X12Dictionary::ElementVocabulary vocabulary(segment.tag());
    for (std::size_t i = 0; i < segment.elementCount(); ++i) {
        Line element{{}, depth + 1, Style::element};
        if (appendElementLine(element.text, vocabulary, std::ptrdiff_t(i + 1), segment.element(i)))
            lines.push_back(std::move(element));
    }
    lines.push_back(Line{std::string(segment.raw()), depth + 1, Style::segment});
}

} // namespace

namespace ReportLines {

void appendLines(const X12Document &document, std::uint32_t node, std::ptrdiff_t depth,
                 std::vector<Line> &lines)
{
    appendNodeLines(document, node, depth, lines);
    for (std::uint32_t child : document.children(node))
        appendLines(document, child, depth + 1, lines);
}

std::string grouped(std::size_t number)
{
    std::string digits = std::to_string(number);
    for (std::size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, 1, ',');
    return digits;
}

std::vector<std::string> elementLines(const X12Segment &segment)
{
    std::vector<std::string> lines;
    const X12Dictionary::ElementVocabulary vocabulary(segment.tag());
    for (std::size_t i = 0; i < segment.elementCount(); ++i) {
        std::string text;
        if (appendElementLine(text, vocabulary, std::ptrdiff_t(i + 1), segment.element(i)))
            lines.push_back(std::move(text));
    }
    return lines;
}

LineCursor::LineCursor(const X12Document &document, std::span<const X12GuideFinding> guideFindings)
    : m_document(document), m_envelope(document), m_guide(guideFindings)
{
}

double LineCursor::progress() const
{
    const std::size_t count = m_document.nodeCount();
    return count == 0 ? 1.0 : double(m_node) / double(count);
}

bool LineCursor::nextFinding(Line &line)
{
    const std::size_t total = m_envelope.size() + m_guide.size();
    switch (m_step) {
    case Step::heading:
        line.indent = 0;
        line.style = Style::title;
        line.mark = Mark::none;
        m_step = total == 0 ? Step::title : Step::counts;
        line.text = total == 0 ? "No findings" : "Findings";
        return true;
    case Step::counts: {
        std::size_t errors = 0;
        for (std::size_t i = 0; i < m_envelope.size(); ++i)
            errors += m_envelope.isError(i);
        for (const X12GuideFinding &finding : m_guide)
            errors += finding.severity == X12Finding::Severity::error;
        const std::size_t warnings = total - errors;
        line.text = grouped(errors) + (errors == 1 ? " error, " : " errors, ") + grouped(warnings) +
                    (warnings == 1 ? " warning" : " warnings");
        line.indent = 1;
        line.style = Style::note;
        line.mark = Mark::none;
        m_step = Step::findings;
        return true;
    }
    default:
        break;
    }
    line.text.clear();
    line.indent = 1;
    line.style = Style::finding;
    if (m_finding < m_envelope.size()) {
        const X12Finding finding = m_envelope[m_finding];
        const bool error = finding.severity == X12Finding::Severity::error;
        appendFinding(line.text, m_document, finding.position, {}, {}, error, finding.message);
        line.mark = markOf(error);
    } else {
        const X12GuideFinding &finding = m_guide[m_finding - m_envelope.size()];
        const bool error = finding.severity == X12Finding::Severity::error;
        appendFinding(line.text, m_document, finding.position, finding.loop, finding.element, error,
                      finding.message);
        line.mark = markOf(error);
    }
    if (++m_finding == total)
        m_step = Step::title;
    return true;
}

Mark LineCursor::markNode()
{
    Mark mark = Mark::none;
    for (; m_envelopeAt < m_envelope.size() && m_envelope.segment(m_envelopeAt) <= m_node;
         ++m_envelopeAt) {
        if (m_envelope.segment(m_envelopeAt) == m_node)
            mark = std::max(mark, markOf(m_envelope.isError(m_envelopeAt)));
    }
    m_namedElements.clear();
    m_namedAt = 0;
    std::string_view tag;
    // Positions count from 1: a finding about node n stands at n + 1.
    for (; m_guideAt < m_guide.size() && m_guide[m_guideAt].position <= m_node + 1; ++m_guideAt) {
        const X12GuideFinding &finding = m_guide[m_guideAt];
        if (finding.position != m_node + 1)
            continue;
        const Mark findingMark = markOf(finding.severity == X12Finding::Severity::error);
        mark = std::max(mark, findingMark);
        if (finding.element.empty())
            continue;
        if (tag.empty())
            tag = m_document.segment(m_node).tag();
        if (const std::size_t element = namedElement(finding.element, tag); element != 0)
            m_namedElements.emplace_back(element, findingMark);
    }
    std::sort(m_namedElements.begin(), m_namedElements.end());
    return mark;
}

bool LineCursor::next(Line &line)
{
    if (m_step < Step::title)
        return nextFinding(line);
    // Nodes in index order are the depth-first walk of the tree.
    while (m_node < m_document.nodeCount()) {
        line.text.clear();
        line.mark = Mark::none;
        switch (m_step) {
        case Step::heading:
        case Step::counts:
        case Step::findings:
            break; // handed out above
        case Step::title:
            m_depth = std::ptrdiff_t(m_document.depth(m_node));
            line.indent = m_depth;
            line.style = titleStyle(m_document.kind(m_node));
            line.mark = markNode();
            X12Dictionary::appendNodeTitle(m_document, m_document.segment(m_node), line.text);
            m_step = Step::subtitle;
            return true;
        case Step::subtitle:
            m_step = Step::elements;
            m_element = 0;
            X12Dictionary::appendNodeSubtitle(m_document, m_document.segment(m_node), line.text);
            if (line.text.empty())
                break;
            line.indent = m_depth + 1;
            line.style = Style::note;
            return true;
        case Step::elements: {
            const X12Segment segment = m_document.segment(m_node);
            if (!m_vocabulary)
                m_vocabulary.emplace(segment.tag());
            while (m_element < segment.elementCount()) {
                const std::size_t i = m_element++;
                if (appendElementLine(line.text, *m_vocabulary, std::ptrdiff_t(i + 1),
                                      segment.element(i))) {
                    line.indent = m_depth + 1;
                    line.style = Style::element;
                    for (; m_namedAt < m_namedElements.size() &&
                           m_namedElements[m_namedAt].first <= i + 1;
                         ++m_namedAt) {
                        if (m_namedElements[m_namedAt].first == i + 1)
                            line.mark = std::max(line.mark, m_namedElements[m_namedAt].second);
                    }
                    return true;
                }
            }
            m_vocabulary.reset();
            m_step = Step::raw;
            break;
        }
        case Step::raw:
            line.text.assign(m_document.segment(m_node).raw());
            line.indent = m_depth + 1;
            line.style = Style::segment;
            m_step = Step::title;
            ++m_node;
            return true;
        }
    }
    return false;
}

} // namespace ReportLines
