#include "core/output/ReportLines.h"

#include "core/dictionary/X12Dictionary.h"

namespace {

using ReportLines::Line;
using ReportLines::Style;

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

double LineCursor::progress() const
{
    const std::size_t count = m_document.nodeCount();
    return count == 0 ? 1.0 : double(m_node) / double(count);
}

bool LineCursor::next(Line &line)
{
    // Nodes in index order are the depth-first walk of the tree.
    while (m_node < m_document.nodeCount()) {
        line.text.clear();
        switch (m_step) {
        case Step::title:
            m_depth = std::ptrdiff_t(m_document.depth(m_node));
            line.indent = m_depth;
            line.style = titleStyle(m_document.kind(m_node));
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
