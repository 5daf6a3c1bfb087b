#pragma once

// The rules of the ISA header and of delimiters, each written once: the header's fixed layout and
// the reading of a header whose layout is broken, which characters can be delimiters, how a file
// without a header has its delimiters guessed, and the header's checks in the tree.

#include "core/model/Envelope_p.h"
#include "core/model/X12Document.h"
#include "core/text/Unicode_p.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace kelvane::detail {

/// Without a header only this many characters are looked at, and a split whose longest segment
/// reaches this many characters does not look like X12.
constexpr std::size_t sampleLength = 4000;

/// The terminators tried, in this order, when the declared or guessed one does not cut the text
/// into something that looks like X12.
constexpr std::array<std::string_view, 5> fallbackTerminators{"~", "\n", "\r", "\x1D", "'"};

/// Whether a character can be a delimiter at all: it is no letter, digit or blank.
bool isBelievableDelimiter(std::string_view c);

/// Whether a character can end segments: a believable delimiter, or a line end.
bool isBelievableTerminator(std::string_view c);

/// The characters of an ISA header as read from a text, each a view into it, and the header's
/// fixed layout.
class IsaHeader
{
public:
    static constexpr std::size_t length = envelope::isaLength;
    // Where the delimiters stand in a header written to the fixed layout, from its "I".
    static constexpr std::size_t elementOffset = 3;
    static constexpr std::size_t repetitionOffset = 82; // ISA11
    static constexpr std::size_t componentOffset = 104; // ISA16
    static constexpr std::size_t terminatorOffset = 105;
    /// Where such a header has its element separator: after ISA and after each of ISA01 to ISA15.
    static constexpr std::array<std::size_t, 16> separatorOffsets{3,  6,  17, 20, 31, 34, 50,  53,
                                                                  69, 76, 81, 83, 89, 99, 101, 103};

    /// Reads the header's characters from byte `at`, which starts a character, replacing any
    /// read before; how many were taken. The reading stops at the first character for which
    /// `fits(*this, k)`, asked about character k once it is in place, says it cannot belong to
    /// the header: that one stays readable at place k.
    template <typename Fits>
    std::size_t read(std::string_view text, std::size_t at, Fits fits)
    {
        m_size = 0;
        forEachCharacter(text.substr(at), [&](std::size_t begin, std::size_t end) {
            m_characters[m_size] = text.substr(at + begin, end - begin);
            return fits(*this, m_size) && ++m_size < length;
        });
        return m_size;
    }

    /// Takes the header's next character; false once the header is whole.
    bool append(std::string_view c)
    {
        m_characters[m_size++] = c;
        return m_size < length;
    }

    std::size_t size() const noexcept { return m_size; }
    bool isWhole() const noexcept { return m_size == length; }
    std::string_view operator[](std::size_t k) const noexcept { return m_characters[k]; }

    /// Whether a whole header has its element separator at its sixteen places.
    bool hasFixedLayout() const;
    /// The delimiters a whole header declares, read by position.
    X12Delimiters delimitersByPosition() const;
    /// The delimiters of the characters taken read as a header whose fixed layout is broken, by
    /// its element separator; none unless they make a whole header that declares believable
    /// delimiters.
    std::optional<X12Delimiters> delimitersBySeparator() const;

    /// A parsed ISA segment's length in characters with its terminator: `length` when it was
    /// written to the fixed layout.
    static std::size_t lengthOf(const X12Segment &isa);
    /// Whether a parsed ISA segment's ISA16, the component separator, is one character.
    static bool hasOneCharacterComponent(const X12Segment &isa);

private:
    std::array<std::string_view, length> m_characters{};
    std::size_t m_size = 0;
};

/// The delimiters detect() found, and where they come from.
struct Detection
{
    X12Delimiters delimiters;
    std::optional<std::size_t> header; // byte where the first header starts; none when guessed
};

/// The delimiters from the first ISA header, or guessed from the first 4000 characters.
Detection detect(std::string_view text);

/// The delimiters of a later interchange's header at byte `at`: read by position when it is whole
/// and written to the fixed layout ("ISA", its element separator at its sixteen places and
/// nowhere else), else by its element separator; either way its terminator must occur nowhere
/// before its own place. A garbled header declares nothing to cut the rest of a file by. Unlike
/// the first header's, a carriage return terminator is kept: a lone one is still in the text (CR
/// LF became LF), and cuts there as any other terminator does.
std::optional<X12Delimiters> laterHeaderDelimiters(std::string_view text, std::size_t at);

} // namespace kelvane::detail
