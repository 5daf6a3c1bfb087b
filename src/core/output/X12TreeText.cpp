#include "core/output/X12TreeText.h"

#include "core/dictionary/X12Dictionary.h"
#include "core/model/X12Document.h"
#include "core/output/OutputBuffer_p.h"
#include "core/text/VisibleText.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

namespace X12TreeText {
namespace {

using kelvane::detail::Buffer;

/// The file's bytes a block of lines covers. A line is about as long as its segment, a tenth of
/// what JSON makes of it, so blocks take more of the file than JSON's: most come to 4,096 lines
/// and a few hundred KiB, which an OutputSink writes as they are rather than copy.
constexpr std::size_t treeBlockBytes = 256u << 10;

/// Whether segments [begin, end) hold no control character. The text from the first to the last is
/// checked in one pass; what it finds (line breaks, mostly) must lie between segments.
bool segmentsHoldNoControl(const X12Document &document, std::size_t begin, std::size_t end)
{
    if (begin >= end)
        return true;
    const std::string_view first = document.segment(std::uint32_t(begin)).raw();
    const std::string_view last = document.segment(std::uint32_t(end - 1)).raw();
    const std::string_view range(first.data(),
                                 std::size_t(last.data() + last.size() - first.data()));
    // The segment that holds or follows the control character found last.
    std::size_t segment = begin;
    std::string_view raw = first;
    const std::size_t found = VisibleText::findControl(range, [&](std::size_t offset) {
        const char *const at = range.data() + offset;
        while (raw.data() + raw.size() <= at)
            raw = document.segment(std::uint32_t(++segment)).raw();
        return raw.data() <= at;
    });
    return found == range.size();
}

/// Makes the text appended to `line` from `start` on printable.
void makePrintable(std::string &line, std::size_t start)
{
    if (!VisibleText::hasControl(std::string_view(line).substr(start)))
        return;
    const std::string tail = line.substr(start);
    line.resize(start);
    VisibleText::append(line, tail);
}

/// The tree's lines for nodes [begin, end). Nodes in index order are the depth-first walk of the
/// tree, and a node's depth is its number of ancestors. When `printable`, each title and subtitle
/// is made printable on its own.
template <bool printable>
void appendLines(const X12Document &document, std::size_t begin, std::size_t end, std::string &out)
{
    // A node's depth follows from the node before it when it is that node's child or sibling,
    // which most nodes are; otherwise its ancestors are counted.
    std::uint32_t previousParent = X12Document::rootId();
    std::size_t depth = 0;
    for (std::size_t i = begin; i < end; ++i) {
        const auto index = std::uint32_t(i);
        const std::uint32_t parent = document.parent(index);
        if (i > begin && parent == index - 1)
            ++depth;
        else if (i == begin || parent != previousParent)
            depth = document.depth(index);
        previousParent = parent;
        out.append(depth * 2, ' ');
        const X12Segment segment = document.segment(index);
        const std::size_t titleStart = out.size();
        X12Dictionary::appendNodeTitle(document, segment, out);
        if (printable)
            makePrintable(out, titleStart);
        const std::size_t titleEnd = out.size();
        out += "  \u2014 ";
        const std::size_t subtitleStart = out.size();
        X12Dictionary::appendNodeSubtitle(document, segment, out);
        if (out.size() == subtitleStart)
            out.resize(titleEnd);
        else if (printable)
            makePrintable(out, subtitleStart);
        out += '\n';
    }
}

/// The tree's lines for nodes [begin, end), held in memory.
void renderLines(const X12Document &document, std::size_t begin, std::size_t end, std::string &out)
{
    // Titles and subtitles quote nothing of the file but their own segment's text: when the
    // segments hold no control character, the lines are written as they come.
    if (segmentsHoldNoControl(document, begin, end))
        appendLines<false>(document, begin, end, out);
    else
        appendLines<true>(document, begin, end, out);
}

/// Appends the text made printable a megabyte at a time, each piece ending between characters of
/// UTF-8, so that a line of gigabytes is never held twice over.
void appendPrintable(Buffer &out, std::string_view text)
{
    std::string piece;
    while (!text.empty() && !out.refused()) {
        std::size_t size = std::min<std::size_t>(text.size(), 1u << 20);
        while (size < text.size() && (static_cast<unsigned char>(text[size]) & 0xC0) == 0x80)
            ++size;
        piece.assign(text.substr(0, size));
        makePrintable(piece, 0);
        out.append(piece);
        text.remove_prefix(size);
    }
}

/// The same lines for a block whose segments hold too much to keep its lines in memory: each
/// line goes out as it is made, its title and subtitle a megabyte at a time.
void streamLines(const X12Document &document, std::size_t begin, std::size_t end, Buffer &out)
{
    std::string text;
    for (std::size_t i = begin; i < end && !out.refused(); ++i) {
        const auto index = std::uint32_t(i);
        const std::size_t indent = document.depth(index) * 2;
        if (indent > 0) { // an empty buffer may have no memory to point at
            std::memset(out.reserve(indent), ' ', indent);
            out.commit(indent);
        }
        // Room for the segment and the words around it, so that the text is never copied to
        // grow: a segment of gigabytes would need three times its size for a moment.
        text.clear();
        text.reserve(document.segment(index).raw().size() + (64u << 10));
        X12Dictionary::appendNodeTitle(document, document.segment(index), text);
        appendPrintable(out, text);
        text.clear();
        X12Dictionary::appendNodeSubtitle(document, document.segment(index), text);
        if (!text.empty()) {
            out.append("  \u2014 ");
            appendPrintable(out, text);
        }
        out += '\n';
    }
}

} // namespace

bool write(const X12Document &document, const std::function<bool(std::string_view)> &sink)
{
    return kelvane::detail::writeSegmentBlocks<std::string>(
        document, document.nodeCount(),
        [&document](std::size_t begin, std::size_t end, std::string &out) {
            renderLines(document, begin, end, out);
        },
        [&document](std::size_t begin, std::size_t end, Buffer &out) {
            streamLines(document, begin, end, out);
        },
        sink, treeBlockBytes);
}

void append(const X12Document &document, std::string &out)
{
    const X12Dictionary::MoneyLocaleSnapshot locale;
    renderLines(document, 0, document.nodeCount(), out);
}

} // namespace X12TreeText
