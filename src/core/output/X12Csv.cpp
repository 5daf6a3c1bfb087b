#include "core/output/X12Csv.h"

#include "core/output/OutputBuffer_p.h"
#include "core/dictionary/X12Dictionary.h"
#include "core/model/X12Document.h"
#include "core/support/Simd_p.h"
#include "core/text/VisibleText.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

using kelvane::detail::Buffer;

/// A title in a row's path is cut to this many bytes, and "…" marks the cut: the path is repeated
/// on every row under its node, and a title can hold a whole element of the file.
constexpr std::size_t maxPathTitle = 200;

/// Whether a field must be quoted: it holds a comma, a quote, a CR or a LF.
bool needsQuotes(std::string_view text)
{
    std::size_t i = 0;
    using V = kelvane::simd::Native;
    for (; i + kelvane::simd::width <= text.size(); i += kelvane::simd::width) {
        const V::Bytes bytes = V::load(text.data() + i);
        if (V::topBits(kelvane::simd::equalsAny<V>(bytes, ',', '"', '\r', '\n')) != 0)
            return true;
    }
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ',' || c == '"' || c == '\r' || c == '\n')
            return true;
    }
    return false;
}

/// A plain decimal number, signed or not: -12.50, +5, 100.
bool isNumber(std::string_view text)
{
    if (!text.empty() && (text.front() == '-' || text.front() == '+'))
        text.remove_prefix(1);
    bool digits = false;
    bool point = false;
    for (const char c : text) {
        if (c >= '0' && c <= '9')
            digits = true;
        else if (c == '.' && !point)
            point = true;
        else
            return false;
    }
    return digits;
}

/// Whether a spreadsheet would run the text as a formula.
bool looksLikeFormula(std::string_view text)
{
    if (text.empty())
        return false;
    switch (text.front()) {
    case '=':
    case '@':
    case '\t':
    case '\r':
        return true;
    case '+':
    case '-':
        return !isNumber(text);
    default:
        return false;
    }
}

/// Appends one field, quoted when it has to be.
template <typename Out>
void appendField(Out &out, std::string_view text, bool guard = false)
{
    const bool apostrophe = guard && looksLikeFormula(text);
    if (!needsQuotes(text)) {
        if (apostrophe)
            out += '\'';
        out += text;
        return;
    }
    out += '"';
    if (apostrophe)
        out += '\'';
    for (std::size_t quote; (quote = text.find('"')) != std::string_view::npos;) {
        out += text.substr(0, quote + 1);
        out += '"';
        text.remove_prefix(quote + 1);
    }
    out += text;
    out += '"';
}

/// Appends a title to a path, cut to maxPathTitle bytes between characters.
void appendPathTitle(std::string &path, std::string_view title)
{
    if (title.size() <= maxPathTitle) {
        path += title;
        return;
    }
    path += VisibleText::cut(title, maxPathTitle);
    path += "\u2026";
}

/// What the rows of one segment tag share: the dictionary's vocabulary, and for the first
/// positions the Element and Name fields with their commas, composed once. A segment can have
/// millions of elements; the fields of positions past the cached ones are composed each time.
struct TagFields
{
    static constexpr std::size_t cachedPositions = 64;

    explicit TagFields(std::string_view tag) : vocabulary(tag) {}

    std::string_view fields(std::size_t position)
    {
        if (position >= cachedPositions) {
            compose(position, scratch);
            return scratch;
        }
        while (names.size() <= position) {
            names.emplace_back();
            compose(names.size() - 1, names.back());
        }
        return names[position];
    }

    void compose(std::size_t position, std::string &text) const
    {
        std::string reference;
        vocabulary.appendReference(reference, std::ptrdiff_t(position));
        text.clear();
        appendField(text, reference);
        text += ',';
        appendField(text, vocabulary.tableName(std::ptrdiff_t(position)).value_or(reference));
        text += ',';
    }

    X12Dictionary::ElementVocabulary vocabulary;
    std::vector<std::string> names; // entry p for position p; entry 0 unused
    std::string scratch;
};

/// Writes the rows of a range of segments. Rows under the same parent share their path, which
/// is composed once.
class Rows
{
public:
    Rows(const X12Document &document, X12Csv::Options options, Buffer &out)
        : m_document(document), m_options(options), m_out(out)
    {
    }

    void segment(std::uint32_t index)
    {
        const X12Segment segment = m_document.segment(index);
        const std::uint32_t parent = m_document.parent(index);
        if (!m_hasPath || parent != m_pathParent)
            composePath(parent);
        TagFields &tagFields = fields(segment.tag());
        m_prefix.resize(m_pathField.size());
        m_prefix += ',';
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, segment.position()).ptr;
        m_prefix.append(digits, std::size_t(end - digits));
        m_prefix += ',';
        // The tag as the references show it, cut to 32 bytes: it is repeated on every row of the
        // segment, and a broken file can make half of itself one tag.
        appendField(m_prefix, tagFields.vocabulary.referenceTag());
        m_prefix += ',';

        const std::size_t count = segment.elementCount();
        if (count == 0) {
            m_out += m_prefix;
            m_out += ",,,\r\n";
            return;
        }
        // Most segments hold nothing to quote; then their values are copied as they are.
        const bool plain = !m_options.guardFormulas && !needsQuotes(segment.raw());
        for (std::size_t i = 0; i < count && !m_out.refused(); ++i) {
            const auto position = std::ptrdiff_t(i + 1);
            const std::string_view value = segment.element(i);
            m_out += m_prefix;
            m_out += tagFields.fields(i + 1);
            if (plain)
                m_out += value;
            else
                appendField(m_out, value, m_options.guardFormulas);
            m_out += ',';
            m_readable.clear();
            if (tagFields.vocabulary.appendReadable(m_readable, position, value) !=
                X12Dictionary::ElementDescription::Reading::plain)
                appendField(m_out, m_readable, m_options.guardFormulas);
            else if (plain)
                m_out += value;
            else
                appendField(m_out, value, m_options.guardFormulas);
            m_out += "\r\n";
        }
    }

private:
    TagFields &fields(std::string_view tag)
    {
        auto it = m_tags.find(tag);
        if (it == m_tags.end())
            it = m_tags.emplace(tag, TagFields(tag)).first;
        return it->second;
    }

    /// Composes the path of a parent's children. The titles of the ancestors it shares with the
    /// last path are kept: rows come in depth-first order, so each title is made once per block
    /// however often the rows go back up to a parent (a title can hold a whole element).
    void composePath(std::uint32_t parent)
    {
        m_ancestors.clear();
        for (std::uint32_t node = parent; node != X12Document::rootId();
             node = m_document.parent(node))
            m_ancestors.push_back(node);
        std::reverse(m_ancestors.begin(), m_ancestors.end());
        std::size_t kept = 0;
        while (kept < m_chain.size() && kept < m_ancestors.size() &&
               m_chain[kept].node == m_ancestors[kept])
            ++kept;
        m_chain.resize(kept);
        m_path.resize(kept == 0 ? 0 : m_chain.back().pathSize);
        for (std::size_t i = kept; i < m_ancestors.size(); ++i) {
            if (!m_path.empty())
                m_path += " / ";
            m_title.clear();
            X12Dictionary::appendNodeTitle(m_document, m_document.segment(m_ancestors[i]), m_title);
            appendPathTitle(m_path, m_title);
            m_chain.push_back({m_ancestors[i], m_path.size()});
        }
        m_pathField.clear();
        appendField(m_pathField, m_path);
        m_prefix = m_pathField;
        m_pathParent = parent;
        m_hasPath = true;
    }

    struct Level
    {
        std::uint32_t node;
        std::size_t pathSize; // of the path up to and including the node's title
    };

    const X12Document &m_document;
    X12Csv::Options m_options;
    Buffer &m_out;
    std::unordered_map<std::string_view, TagFields> m_tags;
    std::vector<std::uint32_t> m_ancestors; // of the current parent, from the top
    std::vector<Level> m_chain;             // the ancestors whose titles m_path holds
    std::string m_path;
    std::uint32_t m_pathParent = 0;
    bool m_hasPath = false;
    std::string m_pathField; // the path as a field, quoted if need be
    std::string m_prefix;    // Path, Position and Tag of the current segment, with their commas
    std::string m_readable;
    std::string m_title;
};

} // namespace

namespace X12Csv {

bool write(const X12Document &document, const std::function<bool(std::string_view)> &sink,
           Options options)
{
    std::string head = options.byteOrderMark ? "\xEF\xBB\xBF" : "";
    head += headerRow;
    if (!sink(head))
        return false;
    return kelvane::detail::writeSegmentBlocks(
        document, document.segments().size(),
        [&document, options](std::size_t begin, std::size_t end, Buffer &out) {
            Rows rows(document, options, out);
            for (std::size_t i = begin; i < end && !out.refused(); ++i)
                rows.segment(std::uint32_t(i));
        },
        sink);
}

} // namespace X12Csv
