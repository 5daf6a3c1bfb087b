#include "core/output/X12Json.h"

#include "core/dictionary/Dictionary_p.h"
#include "core/output/OutputBuffer_p.h"
#include "core/support/TagKey_p.h"
#include "core/text/VisibleText.h"
#include "core/model/X12Document.h"
#include "core/guides/X12GuideLoops.h"
#include "core/support/Simd_p.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <unordered_map>

namespace {

using kelvane::detail::Buffer;

/// Appends JSON pieces to a buffer.
class Json
{
public:
    explicit Json(Buffer &out) : m_out(out) {}

    bool refused() const { return m_out.refused(); }
    Buffer &buffer() { return m_out; }

    void raw(std::string_view text) { m_out.append(text); }
    void put(char c) { m_out += c; }

    /// JSON string content: quotes, backslashes and control characters (C0, DEL and C1)
    /// escaped. The text is UTF-8 already, so nothing else needs escaping.
    void escaped(std::string_view text)
    {
        while (!text.empty()) {
            const std::size_t plain = plainPrefix(text);
            m_out.append(text.substr(0, plain));
            if (plain == text.size())
                return;
            const auto c = static_cast<unsigned char>(text[plain]);
            if (c == c1Lead) {
                // U+0080 to U+009F are 0xC2 0x80 to 0xC2 0x9F; 0xC2 also leads U+00A0 to U+00BF.
                const bool control = plain + 1 < text.size() &&
                                     (static_cast<unsigned char>(text[plain + 1]) & 0xE0) == 0x80;
                if (control) {
                    escape(static_cast<unsigned char>(text[plain + 1]));
                    text.remove_prefix(plain + 2);
                } else {
                    m_out += char(c);
                    text.remove_prefix(plain + 1);
                }
                continue;
            }
            escape(c);
            text.remove_prefix(plain + 1);
        }
    }

    void string(std::string_view text)
    {
        m_out += '"';
        escaped(text);
        m_out += '"';
    }

    /// A string known to need no escaping.
    void plainString(std::string_view text)
    {
        m_out += '"';
        m_out.append(text);
        m_out += '"';
    }

    void number(std::size_t value)
    {
        constexpr std::size_t digits = std::numeric_limits<std::size_t>::digits10 + 1;
        char *const at = m_out.reserve(digits);
        m_out.commit(std::size_t(std::to_chars(at, at + digits, value).ptr - at));
    }

    /// A position as element references write it: at least two digits.
    void position(std::size_t value)
    {
        if (value < 10)
            m_out += '0';
        number(value);
    }

    /// "key": with the key written as is (keys here need no escaping).
    void key(std::string_view name)
    {
        m_out += '"';
        m_out.append(name);
        m_out += "\":";
    }

    static bool isPlain(std::string_view text) { return plainPrefix(text) == text.size(); }

private:
    // The first byte of a C1 control character (and of U+00A0 to U+00BF).
    static constexpr unsigned char c1Lead = 0xC2;

    /// How many bytes from the start need no escaping: up to the first C0 control, quote,
    /// backslash, DEL or 0xC2 (which may lead a C1 control).
    static std::size_t plainPrefix(std::string_view text)
    {
        std::size_t i = 0;
        using V = kelvane::simd::Native;
        for (; i + kelvane::simd::width <= text.size(); i += kelvane::simd::width) {
            const V::Bytes bytes = V::load(text.data() + i);
            // Control characters are the bytes below 0x20 taken as unsigned.
            const V::Bytes special =
                V::either(kelvane::simd::below<V>(bytes, 0x20),
                          kelvane::simd::equalsAny<V>(bytes, '"', '\\', 0x7F, c1Lead));
            if (const std::uint32_t mask = V::topBits(special); mask != 0)
                return i + std::size_t(std::countr_zero(mask));
        }
        // Then eight bytes at a time: a byte is special when it is below 0x20, or equal to the
        // quote, the backslash, DEL or 0xC2 (a zero after XOR). Each test sets the top bit of
        // such a byte; a borrow may mark a later byte too, never an earlier one, so the first mark
        // is right.
        constexpr std::uint64_t ones = 0x0101010101010101ull;
        constexpr std::uint64_t tops = 0x8080808080808080ull;
        for (; i + 8 <= text.size(); i += 8) {
            std::uint64_t word;
            std::memcpy(&word, text.data() + i, 8);
            const std::uint64_t quotes = word ^ (ones * '"');
            const std::uint64_t backslashes = word ^ (ones * '\\');
            const std::uint64_t dels = word ^ (ones * 0x7F);
            const std::uint64_t leads = word ^ (ones * c1Lead);
            const std::uint64_t special =
                (((word - ones * 0x20) | (quotes - ones) | (backslashes - ones) | (dels - ones)) &
                 ~word & tops) |
                ((leads - ones) & ~leads & tops);
            if (special != 0)
                break;
        }
        // The rest, and short texts (tags, references), a byte at a time by table.
        static constexpr auto special = [] {
            std::array<bool, 256> table{};
            for (std::size_t c = 0; c < table.size(); ++c)
                table[c] = c < 0x20 || c == '"' || c == '\\' || c == 0x7F || c == c1Lead;
            return table;
        }();
        for (; i < text.size(); ++i) {
            if (special[static_cast<unsigned char>(text[i])])
                return i;
        }
        return i;
    }

    void escape(unsigned char c)
    {
        static constexpr char hex[] = "0123456789abcdef";
        switch (c) {
        case '"':
            m_out += "\\\"";
            return;
        case '\\':
            m_out += "\\\\";
            return;
        case '\n':
            m_out += "\\n";
            return;
        case '\r':
            m_out += "\\r";
            return;
        case '\t':
            m_out += "\\t";
            return;
        case '\b':
            m_out += "\\b";
            return;
        case '\f':
            m_out += "\\f";
            return;
        default:
            const char text[] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 0xF]};
            m_out.append(text, sizeof text);
        }
    }

    Buffer &m_out;
};

/// What one segment tag gives every segment that has it, worked out once per tag: what the
/// dictionary says about its elements, and the JSON pieces that depend on the tag alone. A
/// runaway tag of megabytes gets no pieces: its segments compose theirs each time rather than
/// hold the tag once more.
struct TagInfo
{
    X12Dictionary::ElementVocabulary elements;
    bool plainTag;
    std::string segmentFields; // ,"tag":...,"name":...,"raw": or empty
    std::string nodeHead;      // {"kind":"segment","title":...,"subtitle": or empty
};

/// `,"tag":...,"name":...,"raw":` of a segment; `scratch` is room to compose in.
void writeSegmentFields(Buffer &out, std::string_view tag, std::string &scratch)
{
    Json w(out);
    w.raw(",\"tag\":");
    w.string(tag);
    w.raw(",\"name\":");
    scratch.clear();
    kelvane::detail::appendSegmentName(scratch, tag);
    w.string(scratch);
    w.raw(",\"raw\":");
}

/// `{"kind":"segment","title":...,"subtitle":` of a segment node, whose title depends on its tag
/// alone; `scratch` is room to compose in.
void writeNodeHead(Buffer &out, std::string_view tag, std::string &scratch)
{
    Json w(out);
    w.raw("{\"kind\":");
    w.plainString(toString(X12Node::Kind::segment));
    w.raw(",\"title\":");
    scratch.clear();
    kelvane::detail::appendSegmentTitle(scratch, tag);
    w.string(scratch);
    w.raw(",\"subtitle\":");
}

class TagInfos
{
public:
    const TagInfo &operator()(std::string_view tag)
    {
        // Entries of an unordered_map stay where they are as it grows.
        auto find = [&]() -> const TagInfo * {
            auto it = m_infos.find(tag);
            if (it == m_infos.end())
                it = m_infos.emplace(tag, infoOf(tag)).first;
            return &it->second;
        };
        const std::uint64_t key = kelvane::detail::tagKey(tag);
        return key == kelvane::detail::longTagKey ? *find() : *m_recent.get(key, find);
    }

private:
    static TagInfo infoOf(std::string_view tag)
    {
        TagInfo info{X12Dictionary::ElementVocabulary(tag), Json::isPlain(tag), {}, {}};
        if (tag.size() > 16)
            return info;
        Buffer piece;
        std::string text;
        writeSegmentFields(piece, tag, text);
        info.segmentFields = piece.view();
        piece.clear();
        writeNodeHead(piece, tag, text);
        info.nodeHead = piece.view();
        return info;
    }

    std::unordered_map<std::string_view, TagInfo> m_infos;
    kelvane::detail::TagCache<const TagInfo *, 6> m_recent;
};

/// `,"loop":{"id":...,"name":...}` for a segment or node that has a guide loop.
void writeLoop(Json &w, const std::optional<X12GuideLoop> &loop)
{
    if (!loop)
        return;
    w.raw(",\"loop\":{\"id\":");
    w.string(loop->id);
    w.raw(",\"name\":");
    w.string(loop->name);
    w.put('}');
}

void writeSegment(Json &w, const X12Segment &segment, const TagInfo &info,
                  const std::optional<X12GuideLoop> &loop, std::string &display)
{
    // Most segments hold nothing to escape; then every piece of them is copied as it is.
    const bool plain = info.plainTag && Json::isPlain(segment.raw());
    auto text = [&w, plain](std::string_view value) {
        if (plain)
            w.plainString(value);
        else
            w.string(value);
    };
    w.raw("{\"position\":");
    w.number(std::size_t(segment.position()));
    w.raw(",\"offset\":");
    w.number(std::size_t(segment.offset()));
    if (!info.segmentFields.empty())
        w.raw(info.segmentFields);
    else
        writeSegmentFields(w.buffer(), segment.tag(), display);
    text(segment.raw());
    w.raw(",\"elements\":[");
    const std::size_t count = segment.elementCount();
    for (std::size_t i = 0; i < count; ++i) {
        const auto position = std::ptrdiff_t(i + 1);
        const std::string_view value = segment.element(i);
        w.raw(i == 0 ? "{\"ref\":\"" : ",{\"ref\":\"");
        w.escaped(info.elements.referenceTag());
        w.position(std::size_t(position));
        w.raw("\",\"name\":");
        if (const auto name = info.elements.tableName(position)) {
            w.plainString(*name);
        } else {
            w.put('"');
            w.escaped(info.elements.referenceTag());
            w.position(std::size_t(position));
            w.put('"');
        }
        w.raw(",\"value\":");
        text(value);
        display.clear();
        if (info.elements.appendReadable(display, position, value) !=
            X12Dictionary::ElementDescription::Reading::plain) {
            w.raw(",\"display\":");
            w.string(display);
        }
        w.put('}');
        if (w.refused())
            return; // nobody reads the rest
    }
    w.put(']');
    writeLoop(w, loop);
    w.put('}');
}

/// {"element":...,"component":...,"repetition":...,"segment":...}
void writeDelimiters(Json &w, const X12Delimiters &d)
{
    w.put('{');
    w.key("element");
    w.string(d.element);
    w.put(',');
    w.key("component");
    w.string(d.component);
    w.put(',');
    w.key("repetition");
    w.string(d.repetition);
    w.put(',');
    w.key("segment");
    w.string(d.segment);
    w.put('}');
}

/// Segments [begin, end), each on a line of its own unless `newline` is empty.
void renderSegments(const X12Document &document, const X12GuideLoops &loops, std::size_t begin,
                    std::size_t end, Buffer &out, std::string_view newline)
{
    Json w(out);
    TagInfos tags;
    std::string display;
    for (std::size_t i = begin; i < end && !out.refused(); ++i) {
        if (i > 0) {
            w.put(',');
            w.raw(newline);
        }
        const auto index = std::uint32_t(i);
        const X12Segment segment = document.segment(index);
        writeSegment(w, segment, tags(segment.tag()), loops.loopOf(index), display);
    }
}

/// Nodes [begin, end) of the tree in file order, which is the order of a depth-first walk: each
/// node opens its object and its children's array, and a node without children closes itself and
/// every enclosing node whose last descendant it is. Each root starts a line unless `newline` is
/// empty.
void renderNodes(const X12Document &document, const X12GuideLoops &loops, std::size_t begin,
                 std::size_t end, Buffer &out, std::string_view newline)
{
    constexpr std::uint32_t root = X12Document::rootId();
    Json w(out);
    std::string text;
    TagInfos tags;
    // Ends a node's children and the node; an interchange adds its own delimiters, a node that
    // begins a guide loop the loop.
    auto close = [&](std::uint32_t node) {
        w.put(']');
        if (document.kind(node) == X12Node::Kind::interchange) {
            w.raw(",\"delimiters\":");
            writeDelimiters(w, document.delimitersAt(node));
        }
        writeLoop(w, loops.loopBegunBy(node));
        w.put('}');
    };
    for (std::size_t i = begin; i < end && !out.refused(); ++i) {
        const auto index = std::uint32_t(i);
        if (document.children(document.parent(index)).front() != index) {
            w.put(',');
            if (document.parent(index) == root)
                w.raw(newline);
        }
        const X12Node::Kind kind = document.kind(index);
        const X12Segment segment = document.segment(index);
        if (kind == X12Node::Kind::segment) {
            const std::string_view tag = segment.tag();
            if (const TagInfo &info = tags(tag); !info.nodeHead.empty())
                w.raw(info.nodeHead);
            else
                writeNodeHead(out, tag, text);
        } else {
            w.raw("{\"kind\":");
            w.plainString(toString(kind));
            w.raw(",\"title\":");
            text.clear();
            X12Dictionary::appendNodeTitle(document, segment, text);
            w.string(text);
            w.raw(",\"subtitle\":");
        }
        text.clear();
        X12Dictionary::appendNodeSubtitle(document, segment, text);
        w.string(text);
        w.raw(",\"position\":");
        w.number(i + 1);
        w.raw(",\"children\":[");
        if (!document.children(index).empty())
            continue;
        close(index);
        for (std::uint32_t node = index; document.parent(node) != root;) {
            const std::uint32_t parent = document.parent(node);
            if (document.children(parent).back() != node)
                break;
            close(parent);
            node = parent;
        }
    }
}

/// The envelope findings, then the guide's, as one list.
struct AllFindings
{
    const X12Dictionary::ReportedFindings &envelope;
    std::span<const X12GuideFinding> guide;

    std::size_t size() const noexcept { return envelope.size() + guide.size(); }
};

void openFinding(Json &w, X12Finding::Severity severity, std::uint32_t position,
                 std::string_view message)
{
    w.raw(severity == X12Finding::Severity::error ? "{\"severity\":\"error\",\"position\":"
                                                  : "{\"severity\":\"warning\",\"position\":");
    w.number(position);
    w.put(',');
    w.key("message");
    w.string(message);
}

/// A guide finding's keys after the envelope findings' own: the element, the loop and the
/// syntax rule where it has them, and its code in the 999 acknowledgment.
void writeGuideKeys(Json &w, const X12GuideFinding &finding)
{
    const std::pair<std::string_view, std::string_view> keys[] = {
        {"element", finding.element}, {"loop", finding.loop}, {"rule", finding.rule}};
    for (const auto &[key, value] : keys) {
        if (value.empty())
            continue;
        w.put(',');
        w.key(key);
        w.string(value);
    }
    const bool segment = !finding.segmentCode.empty();
    if (segment || !finding.elementCode.empty()) {
        w.raw(segment ? ",\"ack\":{\"IK304\":" : ",\"ack\":{\"IK403\":");
        w.string(segment ? finding.segmentCode : finding.elementCode);
        w.put('}');
    }
}

/// Findings [begin, end) as JSON objects, each after a comma but the first and a line break when
/// `newline` is not empty. False, with the output left as it is, once it holds more than `limit`
/// bytes.
bool renderFindings(const AllFindings &findings, std::size_t begin, std::size_t end, Buffer &out,
                    std::string_view newline, std::size_t limit)
{
    Json w(out);
    for (std::size_t i = begin; i < end && !out.refused(); ++i) {
        if (i > 0)
            w.put(',');
        w.raw(newline);
        if (i < findings.envelope.size()) {
            const X12Finding finding = findings.envelope[i];
            openFinding(w, finding.severity, finding.position, finding.message);
        } else {
            const X12GuideFinding &finding = findings.guide[i - findings.envelope.size()];
            openFinding(w, finding.severity, finding.position, finding.message);
            writeGuideKeys(w, finding);
        }
        w.put('}');
        if (out.view().size() > limit)
            return false;
    }
    return true;
}

} // namespace

namespace X12Json {

bool write(const X12Document &document, const std::function<bool(std::string_view)> &sink,
           Layout layout)
{
    const std::string_view newline = layout == Layout::lines ? "\n" : "";
    Buffer head;
    head.setSink(&sink);
    Json w(head);
    w.put('{');
    w.key("fileName");
    w.string(document.fileName());
    w.put(',');
    w.key("summaryLine");
    w.string(document.summaryLine());
    w.put(',');
    w.key("delimiters");
    writeDelimiters(w, document.delimiters());
    w.put(',');
    w.key("transactionSets");
    w.put('[');
    for (std::size_t i = 0; i < document.transactionSets().size(); ++i) {
        if (i > 0)
            w.put(',');
        w.string(document.transactionSets()[i]);
    }
    w.raw("],");
    w.key("segments");
    w.put('[');
    w.raw(newline);
    if (!head.spill())
        return false;

    const X12GuideLoops loops = X12GuideLoops::checked(document);
    auto segments = [&document, &loops, newline](std::size_t begin, std::size_t end, Buffer &out) {
        renderSegments(document, loops, begin, end, out, newline);
    };
    if (!kelvane::detail::writeSegmentBlocks(document, document.segments().size(), segments, sink))
        return false;
    const std::string middle = std::string(newline) + "],\"tree\":[" + std::string(newline);
    if (!sink(middle))
        return false;
    auto nodes = [&document, &loops, newline](std::size_t begin, std::size_t end, Buffer &out) {
        renderNodes(document, loops, begin, end, out, newline);
    };
    if (!kelvane::detail::writeSegmentBlocks(document, document.nodeCount(), nodes, sink))
        return false;

    if (!sink(layout == Layout::lines ? "\n],\"findings\":[" : "],\"findings\":["))
        return false;
    // Findings in blocks on every core too: a file can have one for every segment. A block whose
    // messages, which quote the file's values, pass a few megabytes is written again from here,
    // straight to the sink.
    constexpr std::size_t heldFindings = 4u << 20;
    const X12Dictionary::ReportedFindings envelope(document);
    const AllFindings findings{envelope, loops.findings()};
    const bool written = kelvane::detail::renderInOrder<Buffer>(
        findings.size(), 4096,
        [&findings, newline](std::size_t begin, std::size_t end, Buffer &out) {
            return renderFindings(findings, begin, end, out, newline, heldFindings);
        },
        [&findings, newline, &sink](std::size_t begin, std::size_t end) {
            Buffer out;
            out.setSink(&sink);
            renderFindings(findings, begin, end, out, newline, std::size_t(-1));
            return out.spill();
        },
        sink);
    if (!written)
        return false;
    return sink(findings.size() > 0 ? std::string(newline) + "]}\n" : "]}\n");
}

std::string errorLine(std::string_view fileName, std::string_view message)
{
    Buffer line;
    Json w(line);
    w.put('{');
    w.key("fileName");
    w.string(fileName);
    w.put(',');
    w.key("error");
    w.string(VisibleText::validUtf8(message)); // it names the file, whose name may not be UTF-8
    w.raw("}\n");
    return std::string(line.view());
}

} // namespace X12Json
