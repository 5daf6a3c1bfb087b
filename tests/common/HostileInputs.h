#pragma once

// Files that come from anywhere: the catalogue of hostile inputs that every entry point (the
// command-line modes and the window's open) must answer with a document or a clear error.

#include "core/TestSupport.h"

#include <cstddef>
#include <string>
#include <vector>

namespace hostile {

using testing_support::repeated;

struct Input
{
    std::string name;
    std::string bytes;
    // What reading it gives: empty for a document, else the message of the error. `strictError`
    // is the message where the text must be UTF-8 (--dump-tree); `error` everywhere else.
    std::string error;
    std::string strictError;
};

inline const std::string isaHeader = testing_support::isaHeader();
inline const std::string claimBody = "GS*HC*S*R*20240101*1200*1*X*005010X222A1~ST*837*0001~"
                                     "NM1*IL*1*DOE~SE*3*0001~GE*1*1~IEA*1*000000001~";

/// The claim with other delimiters: element, component and segment, each any text.
inline std::string claimWith(const std::string &element, const std::string &component,
                             const std::string &segment)
{
    std::string out;
    for (const char c : isaHeader + claimBody) {
        if (c == '*')
            out += element;
        else if (c == ':')
            out += component;
        else if (c == '~')
            out += segment;
        else
            out += c;
    }
    return out;
}

inline std::string utf16le(const std::string &ascii)
{
    std::string out = "\xFF\xFE";
    for (const char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

/// A segment without a terminator: elements and nothing else, `size` bytes in all.
inline std::string unterminated(std::size_t size)
{
    std::string out = "NM1*IL*1*DOE";
    out.reserve(size);
    while (out.size() + 11 <= size)
        out += "*ABCDEFGHIJ";
    return out;
}

inline const char *notX12 = "No X12 segments were found. This does not look like an X12/EDI file.";

/// The catalogue. `bigSize` scales the large entries (50 MB in the full catalogue); `interchanges`
/// is how many one file holds.
inline std::vector<Input> catalogue(std::size_t bigSize, std::size_t interchanges = 2'000)
{
    const std::string png(
        "\x89PNG\r\n\x1A\n\0\0\0\rIHDR\0\0\0\x01\0\0\0\x01\x08\x06\0\0\0\x1F\x15"
        "\xC4\x89\0\0\0\rIDATx\x9C\x63\xF8\x0F\0\x01\x01\x01\0\x18\xDD\x8D\xB0\0\0"
        "\0\0IEND\xAE\x42\x60\x82",
        67);
    std::string withNul = isaHeader + claimBody;
    withNul.replace(withNul.find("DOE"), 3, std::string("D\0E", 3));
    std::string badUtf8 = isaHeader + claimBody;
    badUtf8.replace(badUtf8.find("DOE"), 3,
                    "D\xC3\x28"
                    "E\xFF");
    // Hierarchical levels in every order of source, subscriber and dependent, with parents that
    // are missing, later, or themselves, and an unknown level.
    std::string hl = isaHeader + "GS*HC*S*R*20240101*1200*1*X*005010X222A1~ST*837*0001~";
    int id = 0;
    for (const char *order :
         {"20 22 23", "20 23 22", "22 20 23", "22 23 20", "23 20 22", "23 22 20"}) {
        for (const std::string &level :
             {std::string(order, 2), std::string(order + 3, 2), std::string(order + 6, 2)}) {
            ++id;
            hl += "HL*" + std::to_string(id) + "*" + std::to_string(id % 3 == 0 ? id : id + 5) +
                  "*" + level + "*1~";
        }
    }
    hl += "HL*99**99~SE*22*0001~GE*1*1~IEA*1*000000001~";
    // UTF-16 that goes wrong after its start: a lone surrogate where "DOE" was, an odd last byte.
    std::string loneSurrogate = utf16le(isaHeader + claimBody);
    const std::size_t doe = loneSurrogate.find(std::string("D\0O\0E\0", 6));
    loneSurrogate.replace(doe, 2, std::string("\x00\xD8", 2));
    // Values holding what a terminal obeys: an escape sequence, line feeds inside a segment, a
    // carriage return, NUL, DEL and C1's CSI.
    std::string controls = isaHeader + claimBody;
    controls.replace(controls.find("DOE"), 3,
                     std::string("D\x1B[2J\nNo findings.\r\0\x7F\u009B"
                                 "E\n\nIEA*forged",
                                 33));
    return {
        {"empty.x12", "", "The file is empty.", {}},
        {"blank.x12", " \r\n\t\n  \n", "The file is empty.", {}},
        {"image.png", png, {}, "byte 0x89 at offset 0"},
        {"program.elf", files::slurp("/bin/true"), {}, "is not valid UTF-8 text"},
        {"nul.x12", withNul, {}, {}},
        {"nul-only.x12", std::string(4096, '\0'), {}, {}},
        {"utf16.x12", utf16le(isaHeader + claimBody), {}, {}},
        {"utf16-lone-surrogate.x12",
         loneSurrogate,
         {},
         "UTF-16 text (lone surrogate 0xD800 at offset " + std::to_string(doe) + ")"},
        {"utf16-odd.x12",
         utf16le(isaHeader + claimBody) + "\n",
         {},
         "UTF-16 text (odd byte count: a last byte without its pair at offset " +
             std::to_string(2 + 2 * (isaHeader + claimBody).size()) + ")"},
        {"joined-with-marks.x12",
         "\xEF\xBB\xBF" + isaHeader + claimBody + "\r\n\xEF\xBB\xBF" + isaHeader + claimBody,
         {},
         {}},
        {"controls.x12", controls, {}, {}},
        {"invalid-utf8.x12", badUtf8, {}, "byte 0xC3 at offset 169"},
        {"unterminated.x12", unterminated(bigSize), {}, {}},
        // Half the file one tag, then many elements: each element's reference names the tag.
        {"runaway-tag.x12", std::string(bigSize / 2, 'T') + repeated("*x", bigSize / 64), {}, {}},
        {"empty-segments.x12", isaHeader + std::string(100'000, '~') + claimBody, {}, {}},
        {"only-terminators.x12", std::string(100'000, '~'), notX12, {}},
        {"letters.x12", claimWith("X", "Y", "Z"), {}, {}},
        {"digits.x12", claimWith("1", "2", "3"), {}, {}},
        {"multibyte.x12", claimWith("\u00A7", "\u00B7", "\u2022"), {}, {}},
        {"combining.x12", claimWith("e\u0301", "a\u0308", "o\u0302"), {}, {}},
        {"terminator-is-separator.x12", claimWith("*", ":", "*"), {}, {}},
        {"isa-105.x12", isaHeader.substr(0, 105), {}, {}},
        {"interchanges.x12", repeated(isaHeader + claimBody, interchanges), {}, {}},
        {"hl-orders.x12", hl, {}, {}},
        {"megabyte-elements.x12",
         isaHeader + "ST*837*0001~NM1*IL*1*" + std::string(1 << 20, 'D') + "~NTE*ADD*" +
             repeated("x ", 1 << 19) + "~SE*3*0001~IEA*1*000000001~",
         {},
         {}},
        {"separators.x12",
         repeated(std::string(80, '*') + "\n", 50) + repeated(std::string(80, ':') + "\n", 50) +
             repeated("*:^~", 500),
         {},
         {}},
    };
}

} // namespace hostile
