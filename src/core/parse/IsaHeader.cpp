#include "core/parse/IsaHeader_p.h"

#include "core/text/Unicode_p.h"

#include <algorithm>
#include <string>

namespace kelvane::detail {

namespace {

// Guessed delimiters, without a header: the first of each list that occurs among the first
// characters, else a star and a line end.
constexpr std::array<std::string_view, 3> elementCandidates{"*", "|", "\x1F"};
constexpr std::array<std::string_view, 2> terminatorCandidates{"~", "\x1D"};

// The widest ISA01 to ISA15 are: the room between their separators in the fixed layout.
constexpr std::array<std::size_t, 15> isaWidths = [] {
    std::array<std::size_t, 15> widths{};
    for (std::size_t k = 0; k < widths.size(); ++k)
        widths[k] = IsaHeader::separatorOffsets[k + 1] - IsaHeader::separatorOffsets[k] - 1;
    return widths;
}();

/// The delimiters a header declares, as they cut the parsed text: line ends are normalised, so a
/// carriage return terminator cuts at line feeds, and a letter, digit or space in ISA11 is the
/// older repetition-less header's filler, not a separator. An empty `repetition` stands for an
/// ISA11 that is not one character.
X12Delimiters declaredDelimiters(std::string_view element, std::string_view repetition,
                                 std::string_view component, std::string_view terminator)
{
    X12Delimiters delimiters;
    delimiters.element = element;
    delimiters.repetition =
        (repetition.empty() || isLetterOrNumber(repetition) || repetition == " ")
            ? std::string("^")
            : std::string(repetition);
    delimiters.component = component;
    delimiters.segment =
        (terminator == "\r" || terminator == "\n") ? std::string("\n") : std::string(terminator);
    return delimiters;
}

/// Reads a header whose fixed layout is broken, ISA06 or ISA08 written without its padding say,
/// by its element separator, the character after "ISA": ISA01 to ISA15, none wider than in the
/// fixed layout, then ISA16's one character and the terminator. So it never takes more
/// characters than a fixed header has. It is fed one character at a time.
class SeparatedHeader
{
public:
    /// Takes the header's next character; false once the header is whole or cannot be one.
    bool take(std::string_view c)
    {
        const std::size_t k = m_taken++;
        if (k < 3)
            return c == std::string_view("ISA").substr(k, 1);
        if (k == IsaHeader::elementOffset) {
            m_separator = c;
            return isBelievableDelimiter(c);
        }
        if (m_element < isaWidths.size()) {
            if (c == m_separator) {
                ++m_element;
                m_width = 0;
                return true;
            }
            if (m_element == 10) // ISA11
                m_repetition = m_width == 0 ? c : std::string_view();
            return ++m_width <= isaWidths[m_element];
        }
        if (m_component.empty()) {
            m_component = c;
            return true;
        }
        m_terminator = c;
        return false;
    }

    /// The delimiters the header declares, if it is whole and they can be delimiters: a
    /// component separator and terminator that are no letter, digit or other separator, and a
    /// terminator that is no blank but a line end.
    std::optional<X12Delimiters> delimiters() const
    {
        if (m_terminator.empty() || !isBelievableDelimiter(m_component) ||
            m_component == m_separator || m_terminator == m_separator ||
            m_terminator == m_component || !isBelievableTerminator(m_terminator))
            return std::nullopt;
        return declaredDelimiters(m_separator, m_repetition, m_component, m_terminator);
    }

private:
    std::size_t m_taken = 0;
    std::size_t m_element = 0; // the element being read: 0 is ISA01, 15 is ISA16
    std::size_t m_width = 0;   // its characters so far
    std::string_view m_separator;
    std::string_view m_repetition; // ISA11, when it is one character
    std::string_view m_component;
    std::string_view m_terminator;
};

/// Looks for the first ISA header of a text, noting which candidate delimiters occur among its
/// first 4000 characters for a guess when there is none. One walk over those characters finds
/// the candidates and any "ISA" triple; past them the triple is searched for as bytes and checked
/// to be three whole characters. The first triple decides: any later one has even fewer
/// characters after it.
class FirstHeader
{
public:
    explicit FirstHeader(std::string_view text) : m_text(text)
    {
        forEachCharacter(text,
                         [this](std::size_t begin, std::size_t end) { return take(begin, end); });
        if (m_searchFrom)
            search(*m_searchFrom);
    }

    /// A whole header in the fixed layout is read by position. One whose layout is broken is
    /// read by its separator when that gives delimiters, and by position as a last resort.
    /// Without a header, or with too little of one, the delimiters are guessed.
    Detection detection() const
    {
        if (m_header.isWhole() && m_header.hasFixedLayout())
            return {m_header.delimitersByPosition(), m_at};
        if (m_header.size() > 0) {
            if (std::optional<X12Delimiters> declared = m_header.delimitersBySeparator())
                return {std::move(*declared), m_at};
        }
        if (m_header.isWhole())
            return {m_header.delimitersByPosition(), m_at};
        return {guessed(), std::nullopt};
    }

private:
    /// The walk's step: one character, from byte `begin` to `end`.
    bool take(std::size_t begin, std::size_t end)
    {
        if (m_index == sampleLength && m_header.size() == 0) {
            // A triple may still start at either of the last two characters walked.
            m_searchFrom = m_previousBegin[0];
            return false;
        }
        const std::string_view c = m_text.substr(begin, end - begin);
        if (m_index < sampleLength) {
            for (std::size_t k = 0; k < elementCandidates.size(); ++k)
                m_elementSeen[k] = m_elementSeen[k] || c == elementCandidates[k];
            for (std::size_t k = 0; k < terminatorCandidates.size(); ++k)
                m_terminatorSeen[k] = m_terminatorSeen[k] || c == terminatorCandidates[k];
        }
        ++m_index;
        if (m_header.size() > 0)
            return m_header.append(c);
        if (c == "A" && m_previous[1] == "S" && m_previous[0] == "I") {
            m_header.append(m_previous[0]);
            m_header.append(m_previous[1]);
            m_header.append(c);
            m_at = m_previousBegin[0];
        }
        m_previous[0] = m_previous[1];
        m_previous[1] = c;
        m_previousBegin[0] = m_previousBegin[1];
        m_previousBegin[1] = begin;
        return true;
    }

    /// The search past the walk, from byte `from`.
    void search(std::size_t from)
    {
        for (std::size_t at = m_text.find("ISA", from); at != std::string_view::npos;
             at = m_text.find("ISA", at + 1)) {
            if (!isLoneAsciiCharacter(m_text, at) || !isLoneAsciiCharacter(m_text, at + 2))
                continue;
            m_header.read(m_text, at, [](const IsaHeader &, std::size_t) { return true; });
            m_at = at;
            return;
        }
    }

    X12Delimiters guessed() const
    {
        X12Delimiters delimiters;
        delimiters.element = "*";
        for (std::size_t k = 0; k < elementCandidates.size(); ++k) {
            if (m_elementSeen[k]) {
                delimiters.element = elementCandidates[k];
                break;
            }
        }
        delimiters.segment = "\n";
        for (std::size_t k = 0; k < terminatorCandidates.size(); ++k) {
            if (m_terminatorSeen[k]) {
                delimiters.segment = terminatorCandidates[k];
                break;
            }
        }
        delimiters.component = ":";
        delimiters.repetition = "^";
        return delimiters;
    }

    std::string_view m_text;
    IsaHeader m_header;   // the characters of the header collected so far
    std::size_t m_at = 0; // byte where the header starts
    std::array<bool, elementCandidates.size()> m_elementSeen{};
    std::array<bool, terminatorCandidates.size()> m_terminatorSeen{};
    std::string_view m_previous[2];
    std::size_t m_previousBegin[2] = {0, 0};
    std::size_t m_index = 0;                 // characters walked
    std::optional<std::size_t> m_searchFrom; // byte where the walk handed over to the search
};

} // namespace

bool isBelievableDelimiter(std::string_view c)
{
    return !isLetterOrNumber(c) && !isWhiteSpace(c);
}

bool isBelievableTerminator(std::string_view c)
{
    return !isLetterOrNumber(c) && (!isWhiteSpace(c) || c == "\r" || c == "\n");
}

bool IsaHeader::hasFixedLayout() const
{
    return std::all_of(separatorOffsets.begin(), separatorOffsets.end(), [this](std::size_t k) {
        return m_characters[k] == m_characters[elementOffset];
    });
}

X12Delimiters IsaHeader::delimitersByPosition() const
{
    return declaredDelimiters(m_characters[elementOffset], m_characters[repetitionOffset],
                              m_characters[componentOffset], m_characters[terminatorOffset]);
}

std::optional<X12Delimiters> IsaHeader::delimitersBySeparator() const
{
    SeparatedHeader separated;
    for (std::size_t k = 0; k < m_size && separated.take(m_characters[k]); ++k) {
    }
    return separated.delimiters();
}

std::size_t IsaHeader::lengthOf(const X12Segment &isa)
{
    return characterCount(isa.raw()) + 1; // and its terminator
}

bool IsaHeader::hasOneCharacterComponent(const X12Segment &isa)
{
    return characterCount(isa.element(envelope::isaComponent)) == 1;
}

Detection detect(std::string_view text)
{
    return FirstHeader(text).detection();
}

std::optional<X12Delimiters> laterHeaderDelimiters(std::string_view text, std::size_t at)
{
    static constexpr auto separatorHere = [] {
        std::array<bool, IsaHeader::length> here{};
        for (const std::size_t k : IsaHeader::separatorOffsets)
            here[k] = true;
        return here;
    }();
    // Checked as the characters come, so that text which only begins with "ISA" costs a few.
    auto fits = [](const IsaHeader &header, std::size_t k) {
        if (k < 3)
            return header[k] == std::string_view("ISA").substr(k, 1);
        return k == IsaHeader::terminatorOffset
                   ? header[k] != header[IsaHeader::elementOffset]
                   : (header[k] == header[IsaHeader::elementOffset]) == separatorHere[k];
    };
    IsaHeader header;
    std::optional<X12Delimiters> declared;
    std::size_t terminatorAt = IsaHeader::terminatorOffset;
    if (header.read(text, at, fits) == IsaHeader::length) {
        declared = header.delimitersByPosition();
    } else {
        SeparatedHeader separated;
        terminatorAt = header.read(text, at, [&separated](const IsaHeader &h, std::size_t k) {
            return separated.take(h[k]);
        });
        declared = separated.delimiters();
    }
    if (!declared)
        return std::nullopt;
    const std::string_view terminator = header[terminatorAt];
    for (std::size_t k = 0; k < terminatorAt; ++k) {
        if (header[k] == terminator)
            return std::nullopt;
    }
    if (terminator == "\r")
        declared->segment = "\r";
    return declared;
}

} // namespace kelvane::detail
