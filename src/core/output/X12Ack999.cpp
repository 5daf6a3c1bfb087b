#include "core/output/X12Ack999.h"

#include "core/guides/X12GuideLoops.h"
#include "core/model/Envelope_p.h"
#include "core/model/X12Document.h"

#include <algorithm>
#include <cassert>
#include <initializer_list>
#include <optional>
#include <unordered_map>
#include <vector>

namespace X12Ack999 {

namespace {

using Severity = X12Finding::Severity;
namespace envelope = kelvane::detail::envelope;

constexpr std::string_view guideVersion = "005010X231A1";

/// What the document's envelope findings say about one interchange, group or set: their
/// acknowledgment codes, each once, in the order found.
struct EnvelopeCodes
{
    std::vector<std::string_view> codes;
    bool error = false;
    bool warning = false;
};

/// The header of the envelope a finding about segment `index` concerns: the segment itself when
/// it is a header, else the header of the envelope its trailer closes; none for other segments
/// and for a trailer without its header.
std::optional<std::uint32_t> headerOf(const X12Document &document, std::uint32_t index)
{
    const std::string_view tag = document.segment(index).tag();
    X12Node::Kind kind = X12Node::Kind::transaction;
    if (tag == "ISA" || tag == "IEA")
        kind = X12Node::Kind::interchange;
    else if (tag == "GS" || tag == "GE")
        kind = X12Node::Kind::functionalGroup;
    else if (tag != "ST" && tag != "SE")
        return std::nullopt;
    const bool isHeader = tag == "ISA" || tag == "GS" || tag == "ST";
    const std::uint32_t header = isHeader ? index : document.parent(index);
    if (header == X12Document::rootId() || document.kind(header) != kind)
        return std::nullopt;
    return header;
}

/// The envelope findings that have a code, by the node of their envelope's header.
std::unordered_map<std::uint32_t, EnvelopeCodes> envelopeCodes(const X12Document &document)
{
    std::unordered_map<std::uint32_t, EnvelopeCodes> found;
    for (std::size_t i = 0; i < document.findingCount(); ++i) {
        const std::string_view code = document.findingCode(i);
        const auto header =
            code.empty() ? std::nullopt : headerOf(document, document.findingSegment(i));
        if (!header)
            continue;
        EnvelopeCodes &codes = found[*header];
        if (std::ranges::find(codes.codes, code) == codes.codes.end())
            codes.codes.push_back(code);
        (document.findingSeverity(i) == Severity::error ? codes.error : codes.warning) = true;
    }
    return found;
}

/// The text cut after `count` characters (code points, as the guides count lengths).
std::string_view firstCharacters(std::string_view text, std::size_t count)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && count-- == 0)
            return text.substr(0, i);
    }
    return text;
}

/// How many characters (code points) a text has.
std::size_t characterCount(std::string_view text)
{
    return std::size_t(std::ranges::count_if(
        text, [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

/// An ISA element at its fixed width: cut, or padded with spaces.
std::string fixedWidth(std::string_view value, std::size_t width)
{
    std::string text(firstCharacters(value, width));
    std::size_t characters = 0;
    for (const char c : text)
        characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    text.append(width - characters, ' ');
    return text;
}

bool isDigits(std::string_view text, std::size_t size)
{
    return text.size() == size &&
           std::ranges::all_of(text, [](char c) { return c >= '0' && c <= '9'; });
}

/// A control number of `digits` digits, with leading zeros.
std::string controlText(std::uint32_t number, std::size_t digits)
{
    std::string text = std::to_string(number);
    return std::string(digits > text.size() ? digits - text.size() : 0, '0') + text;
}

std::uint32_t nextControl(std::uint32_t number)
{
    return number >= 999999999 ? 1 : number + 1;
}

/// Where an element finding points: "CLM05-1" is element 5, component 1.
struct Place
{
    std::size_t element = 0;
    std::size_t component = 0; // 0 for the element as a whole
};

std::optional<Place> placeOf(std::string_view reference, std::string_view tag)
{
    if (!reference.starts_with(tag))
        return std::nullopt;
    reference.remove_prefix(tag.size());
    Place place;
    std::size_t *into = &place.element;
    for (const char c : reference) {
        if (c == '-' && into == &place.element && place.element > 0)
            into = &place.component;
        else if (c >= '0' && c <= '9' && *into < 1000)
            *into = *into * 10 + std::size_t(c - '0');
        else
            return std::nullopt;
    }
    return place.element > 0 ? std::optional(place) : std::nullopt;
}

/// Writes the acknowledgment of one interchange at a time into a text.
class Writer
{
public:
    Writer(const X12Document &document, const X12GuideLoops &checked, const Options &options)
        : m_document(document), m_findings(checked.findings()),
          m_unchecked(checked.uncheckedSets()), m_options(options),
          m_envelopes(envelopeCodes(document)), m_interchangeControl(options.controlNumber),
          m_groupControl(options.controlNumber)
    {
    }

    void interchange(std::uint32_t isa, std::uint32_t end, std::string &out);

private:
    enum class Acknowledgment { accepted, noted, rejected }; // IK501 A, E, R
    /// Appends a segment of these elements, the tag first, without its trailing empty ones.
    void put(std::initializer_list<std::string_view> elements);
    void header(const X12Segment &isa, std::string_view control);
    void group(std::uint32_t gs, std::uint32_t end);
    /// The set's AK2 loop, and what its IK5 says of it.
    Acknowledgment transaction(std::uint32_t st, std::uint32_t end);
    struct Marks
    {
        bool error = false;
        bool warning = false;
    };
    /// The IK3 and IK4 segments of the findings about one segment of the set at `st`; whether
    /// it wrote any.
    bool segmentNotes(std::span<const X12GuideFinding> findings, std::uint32_t st, Marks &marks);
    void elementNote(const X12GuideFinding &finding, const X12Segment &segment);
    bool standsInElement(std::string_view value) const;
    const EnvelopeCodes *envelope(std::uint32_t header) const
    {
        const auto found = m_envelopes.find(header);
        return found == m_envelopes.end() ? nullptr : &found->second;
    }
    /// Where the envelope whose header is child `i` of `children` ends: at the next child, or at
    /// `end`.
    static std::uint32_t endOf(std::span<const std::uint32_t> children, std::size_t i,
                               std::uint32_t end)
    {
        return i + 1 < children.size() ? children[i + 1] : end;
    }

    const X12Document &m_document;
    std::span<const X12GuideFinding> m_findings;
    std::span<const X12UncheckedSet> m_unchecked;
    const Options &m_options;
    std::unordered_map<std::uint32_t, EnvelopeCodes> m_envelopes;
    std::uint32_t m_interchangeControl;
    std::uint32_t m_groupControl;
    // Of the interchange being written.
    std::string *m_out = nullptr;
    X12Delimiters m_delimiters;
    bool m_lineBreaks = false;
    std::size_t m_setSegments = 0; // written since the ST
};

void Writer::put(std::initializer_list<std::string_view> elements)
{
    std::size_t count = elements.size();
    while (count > 1 && elements.begin()[count - 1].empty())
        --count;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0)
            *m_out += m_delimiters.element;
        *m_out += elements.begin()[i];
    }
    *m_out += m_delimiters.segment;
    if (m_lineBreaks)
        *m_out += '\n';
    ++m_setSegments;
}

/// The ISA back to the sender: sender and receiver swapped, no acknowledgment asked for, a test
/// interchange when the input is one.
void Writer::header(const X12Segment &isa, std::string_view control)
{
    const std::string_view usage = isa.element(envelope::isaUsage);
    const std::string blank(10, ' ');
    // ISA05 and ISA07 are the qualifiers of the sender and receiver IDs.
    put({"ISA", "00", blank, "00", blank, fixedWidth(isa.element(envelope::isaReceiver - 1), 2),
         fixedWidth(isa.element(envelope::isaReceiver), 15),
         fixedWidth(isa.element(envelope::isaSender - 1), 2),
         fixedWidth(isa.element(envelope::isaSender), 15),
         std::string_view(m_options.date).substr(2), m_options.time, m_delimiters.repetition,
         "00501", control, "0", usage == "I" || usage == "P" || usage == "T" ? usage : "P",
         m_delimiters.component});
}

void Writer::interchange(std::uint32_t isa, std::uint32_t end, std::string &out)
{
    m_out = &out;
    m_delimiters = m_document.delimitersAt(isa);
    // An interchange without a repetition separator of its own (ISA11 "U" before 00501) has
    // "^" for one, which may be another of its delimiters already.
    const auto taken = [this](std::string_view c) {
        return c == m_delimiters.element || c == m_delimiters.component ||
               c == m_delimiters.segment;
    };
    if (taken(m_delimiters.repetition)) {
        for (const std::string_view candidate : {"{", "|", "!", "`", "+"}) {
            if (!taken(candidate)) {
                m_delimiters.repetition = candidate;
                break;
            }
        }
    }
    const X12Segment segment = m_document.segment(isa);
    // Line breaks after the terminators when the interchange has one after its ISA's.
    const std::string_view text = m_document.text();
    const std::size_t after = std::size_t(segment.raw().data() - text.data()) +
                              segment.raw().size() + m_delimiters.segment.size();
    m_lineBreaks = m_delimiters.segment != "\n" && after < text.size() && text[after] == '\n';

    const std::string control = controlText(m_interchangeControl, 9);
    m_interchangeControl = nextControl(m_interchangeControl);
    header(segment, control);
    std::size_t groups = 0;
    const EnvelopeCodes *codes = envelope(isa);
    const std::span<const std::uint32_t> children = m_document.children(isa);
    for (std::size_t i = 0; i < children.size() && !codes; ++i) {
        if (m_document.kind(children[i]) == X12Node::Kind::functionalGroup) {
            group(children[i], endOf(children, i, end));
            ++groups;
        }
    }
    if (codes || groups == 0) {
        // The TA1 names the interchange by its own control number, date and time.
        const std::string_view number = segment.element(envelope::isaControl);
        const std::string_view date = segment.element(envelope::isaDate);
        const std::string_view time = segment.element(envelope::isaDate + 1);
        put({"TA1", isDigits(number, 9) ? number : "000000000",
             isDigits(date, 6) ? date : std::string_view(m_options.date).substr(2),
             isDigits(time, 4) ? time : std::string_view(m_options.time), codes ? "R" : "A",
             codes ? codes->codes.front() : "000"});
    }
    put({"IEA", std::to_string(groups), control});
}

void Writer::group(std::uint32_t gs, std::uint32_t end)
{
    const X12Segment segment = m_document.segment(gs);
    const std::string control = std::to_string(m_groupControl);
    m_groupControl = nextControl(m_groupControl);
    put({"GS", "FA", segment.element(envelope::gsReceiver), segment.element(envelope::gsSender),
         m_options.date, m_options.time, control, "X", guideVersion});
    m_setSegments = 0;
    put({"ST", "999", "0001", guideVersion});
    // AK102 echoes GS06, a number of 1 to 9 digits; a group without one (which its envelope
    // finding rejects) is named 0.
    const std::string_view number = segment.element(envelope::gsControl);
    const bool echoed = !number.empty() && number.size() <= 9 && isDigits(number, number.size());
    put({"AK1", segment.element(envelope::gsFunction), echoed ? number : "0",
         segment.element(envelope::gsVersion)});

    std::size_t received = 0;
    std::size_t accepted = 0;
    bool noted = false;             // a set was accepted with errors noted
    std::string_view included = {}; // GE01, what the sender says the group holds
    const std::span<const std::uint32_t> children = m_document.children(gs);
    for (std::size_t i = 0; i < children.size(); ++i) {
        const std::uint32_t child = children[i];
        if (m_document.kind(child) == X12Node::Kind::transaction) {
            const Acknowledgment set = transaction(child, endOf(children, i, end));
            ++received;
            accepted += set != Acknowledgment::rejected;
            noted = noted || set == Acknowledgment::noted;
        } else if (m_document.segment(child).tag() == "GE") {
            included = m_document.segment(child).element(envelope::trailerCount);
        }
    }
    const EnvelopeCodes *codes = envelope(gs);
    std::string_view acknowledgment = noted ? "E" : "A";
    if ((codes && codes->error) || (received > 0 && accepted == 0))
        acknowledgment = "R";
    else if (accepted < received)
        acknowledgment = "P";
    std::vector<std::string_view> groupCodes;
    if (codes)
        groupCodes = codes->codes;
    groupCodes.resize(5); // AK905 to AK909
    // AK902 is at most six digits; another GE01 gives way to the count received.
    const bool countable =
        !included.empty() && included.size() <= 6 && isDigits(included, included.size());
    put({"AK9", acknowledgment, countable ? std::string(included) : std::to_string(received),
         std::to_string(received), std::to_string(accepted), groupCodes[0], groupCodes[1],
         groupCodes[2], groupCodes[3], groupCodes[4]});
    put({"SE", std::to_string(m_setSegments + 1), "0001"});
    put({"GE", "1", control});
}

Writer::Acknowledgment Writer::transaction(std::uint32_t st, std::uint32_t end)
{
    const X12Segment segment = m_document.segment(st);
    // AK202 echoes ST02, of 4 to 9 characters that can stand in an element; a set without one
    // is named 0000.
    const std::string_view control = segment.element(envelope::stControl);
    const std::size_t characters = characterCount(control);
    const bool echoed = characters >= 4 && characters <= 9 && standsInElement(control);
    put({"AK2", segment.element(envelope::stCode), echoed ? control : "0000",
         segment.element(envelope::stVersion)});
    Marks marks;
    bool segmentsNoted = false;
    auto it = std::ranges::lower_bound(m_findings, st + 1, {}, &X12GuideFinding::position);
    while (it != m_findings.end() && it->position <= end) {
        const auto last = std::find_if(it, m_findings.end(), [&](const X12GuideFinding &f) {
            return f.position != it->position;
        });
        segmentsNoted = segmentNotes({it, last}, st, marks) || segmentsNoted;
        it = last;
    }
    std::vector<std::string_view> codes;
    if (const EnvelopeCodes *envelopeCodes = envelope(st)) {
        codes = envelopeCodes->codes;
        marks.error = marks.error || envelopeCodes->error;
        marks.warning = marks.warning || envelopeCodes->warning;
    }
    if (segmentsNoted && std::ranges::find(codes, "5") == codes.end())
        codes.push_back("5"); // one or more segments in error
    if (!echoed && std::ranges::find(codes, "7") == codes.end())
        codes.push_back("7"); // missing or invalid transaction set control number
    // A set of a health-care guide Kelvane does not know was never checked: not accepted.
    const bool unchecked =
        std::ranges::binary_search(m_unchecked, st + 1, {}, &X12UncheckedSet::position);
    if (unchecked)
        codes.push_back("I6"); // implementation convention not supported
    marks.error = marks.error || !echoed || unchecked;
    codes.resize(5); // IK502 to IK506
    const Acknowledgment acknowledgment = marks.error     ? Acknowledgment::rejected
                                          : marks.warning ? Acknowledgment::noted
                                                          : Acknowledgment::accepted;
    static constexpr std::string_view ik501[] = {"A", "E", "R"};
    put({"IK5", ik501[std::size_t(acknowledgment)], codes[0], codes[1], codes[2], codes[3],
         codes[4]});
    return acknowledgment;
}

bool Writer::segmentNotes(std::span<const X12GuideFinding> findings, std::uint32_t st, Marks &marks)
{
    const X12Segment segment = m_document.segment(findings.front().position - 1);
    const std::string position = std::to_string(findings.front().position - st);
    // IK303 holds at most four characters: the loop's number without its letters, 2010 for
    // 2010AA, as 999s write it.
    const auto loopOf = [](const X12GuideFinding &f) { return f.loop.substr(0, 4); };
    auto mark = [&marks](const X12GuideFinding &f) {
        (f.severity == Severity::error ? marks.error : marks.warning) = true;
    };
    bool noted = false;
    // A segment missing is named by its own tag, at the place where it was found missing.
    for (const X12GuideFinding &f : findings) {
        if (!f.missingTag.empty() && !f.segmentCode.empty()) {
            put({"IK3", f.missingTag, position, loopOf(f), f.segmentCode});
            mark(f);
            noted = true;
        }
    }
    std::vector<std::string_view> written;
    for (const X12GuideFinding &f : findings) {
        if (f.missingTag.empty() && !f.segmentCode.empty() &&
            std::ranges::find(written, f.segmentCode) == written.end()) {
            put({"IK3", segment.tag(), position, loopOf(f), f.segmentCode});
            written.push_back(f.segmentCode);
            mark(f);
        }
    }
    bool elements = false;
    for (const X12GuideFinding &f : findings) {
        if (f.elementCode.empty())
            continue;
        if (!elements && written.empty())
            put({"IK3", segment.tag(), position, loopOf(f), "8"}); // data element errors
        elements = true;
        elementNote(f, segment);
        mark(f);
    }
    return noted || elements || !written.empty();
}

void Writer::elementNote(const X12GuideFinding &finding, const X12Segment &segment)
{
    const std::optional<Place> place = placeOf(finding.element, segment.tag());
    if (!place)
        return;
    std::string position = std::to_string(place->element);
    std::string_view value = segment.elementAt(std::ptrdiff_t(place->element));
    if (place->component > 0) {
        position += m_delimiters.component;
        position += std::to_string(place->component);
        for (std::size_t k = 1; k < place->component && !value.empty(); ++k) {
            const std::size_t next = value.find(m_delimiters.component);
            value = next == std::string_view::npos
                        ? std::string_view()
                        : value.substr(next + m_delimiters.component.size());
        }
        value = value.substr(0, value.find(m_delimiters.component));
    }
    // IK404 copies the value when it can stand in an element as it is.
    put({"IK4",
         position,
         {},
         finding.elementCode,
         standsInElement(value) ? firstCharacters(value, 99) : std::string_view()});
}

/// Whether a value can be written in an element as it is: not empty, without a delimiter, a
/// control character or a trailing space.
bool Writer::standsInElement(std::string_view value) const
{
    return !value.empty() && value.back() != ' ' &&
           std::ranges::none_of(
               value, [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }) &&
           std::ranges::none_of(std::initializer_list<std::string_view>{m_delimiters.element,
                                                                        m_delimiters.component,
                                                                        m_delimiters.repetition,
                                                                        m_delimiters.segment},
                                [value](std::string_view d) {
                                    return !d.empty() && value.find(d) != std::string_view::npos;
                                });
}

} // namespace

std::size_t write(const X12Document &document, const X12GuideLoops &checked, const Options &options,
                  const std::function<bool(std::string_view)> &sink)
{
    assert(options.date.size() == 8 && options.time.size() == 4);
    Writer writer(document, checked, options);
    const std::span<const std::uint32_t> roots = document.rootNodes();
    std::size_t written = 0;
    for (std::size_t i = 0; i < roots.size(); ++i) {
        if (document.kind(roots[i]) != X12Node::Kind::interchange)
            continue;
        const std::uint32_t end =
            i + 1 < roots.size() ? roots[i + 1] : std::uint32_t(document.segments().size());
        std::string text;
        writer.interchange(roots[i], end, text);
        ++written;
        if (!sink(text))
            break;
    }
    return written;
}

} // namespace X12Ack999
