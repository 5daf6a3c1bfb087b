// The fast paths (sixteen bytes at a time with SSE2, eight ASCII bytes at a time) against the
// character-by-character paths on the same random inputs: any difference is a fault of the fast
// path, at a boundary no hand-written case happens to cross.

#include "core/model/ElementReader_p.h"
#include "core/support/Parallel_p.h"
#include "core/text/Unicode_p.h"
#include "core/text/VisibleText.h"
#include "core/parse/X12Parser.h"
#include "core/parse/X12Parser_p.h"

#include "core/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

/// Random text from pieces, `length` pieces long.
std::string randomText(std::mt19937 &random, const std::vector<std::string> &pieces,
                       std::size_t length)
{
    std::string text;
    for (std::size_t i = 0; i < length; ++i)
        text += pieces[random() % pieces.size()];
    return text;
}

std::string replaced(std::string_view text, char from, std::string_view to)
{
    std::string out;
    for (const char c : text) {
        if (c == from)
            out.append(to);
        else
            out += c;
    }
    return out;
}

/// Every segment as "offset|raw|element|element...", with the delimiters spelled as "*" and "~".
std::vector<std::string> describe(const X12SegmentList &segments, std::string_view separator,
                                  std::string_view terminator)
{
    auto plain = [&](std::string_view text) {
        std::string out(text);
        for (const auto &[from, to] : {std::pair{separator, "*"}, std::pair{terminator, "~"}}) {
            for (std::size_t at = out.find(from); at != std::string::npos;
                 at = out.find(from, at + 1))
                out.replace(at, from.size(), to);
        }
        return out;
    };
    std::vector<std::string> lines;
    for (const X12Segment segment : segments) {
        std::string line = std::to_string(segment.offset()) + "|" + plain(segment.raw());
        for (const std::string_view element : segment.elements())
            line += "|" + plain(element);
        lines.push_back(line);
    }
    return lines;
}

TEST(FastPathTest, SegmentsMatchTheCharacterWalk)
{
    // With "*" and "~" the plain ASCII segments take the fast path; with "§" and "•" every
    // segment is walked character by character. The two must cut the same segments.
    std::mt19937 random(20241206);
    const std::vector<std::string> pieces{"A",    "B", "7", " ", " ", "\t",     "\n", "\r",
                                          "\r\n", "*", "*", "~", "~", "\u00E9", "ISA"};
    for (int round = 0; round < 3000; ++round) {
        const std::string text = randomText(random, pieces, std::size_t(random() % 90));
        SCOPED_TRACE(text);
        const X12SegmentList fast = X12Parser::splitSegments(text, {"*", ":", "^", "~"});
        const std::string walked = replaced(replaced(text, '*', "\u00A7"), '~', "\u2022");
        const X12SegmentList slow =
            X12Parser::splitSegments(walked, {"\u00A7", ":", "^", "\u2022"});
        ASSERT_EQ(describe(fast, "*", "~"), describe(slow, "\u00A7", "\u2022"));
    }
}

TEST(FastPathTest, ElementReaderMatchesTheSegment)
{
    // Random segments: empty and trailing elements, lower-case tags (which the document keeps
    // upper-cased apart), many elements, and one segment past the short size table.
    std::mt19937 random(20261207);
    const std::vector<std::string> pieces{"A", "b", "7", "*", "*", "~", "\u00E9", "NM1*"};
    for (int round = 0; round < 300; ++round) {
        std::string text = randomText(random, pieces, std::size_t(random() % 200));
        if (round % 50 == 0)
            text += "LONG*" + std::string(70'000, 'x') + "*END~";
        if (round % 60 == 0)
            text += "MANY" + std::string(300, '*') + "x~";
        SCOPED_TRACE(text.substr(0, 200));
        const X12SegmentList segments = X12Parser::splitSegments(text, {"*", ":", "^", "~"});
        for (const X12Segment segment : segments) {
            const kelvane::detail::ElementReader reader(segment);
            ASSERT_EQ(reader.tag(), segment.tag());
            const auto count = std::ptrdiff_t(segment.elementCount());
            for (std::ptrdiff_t k = -1; k <= count + 2; ++k)
                ASSERT_EQ(reader.at(k), segment.elementAt(k)) << k;
        }
    }
}

/// The document parsed with a path on two cores taken wherever it can be (its `minimum` at zero,
/// even for a small text) and never, each described by `describe`; the minimum is put back.
template <typename Describe>
std::pair<std::string, std::string> bothWays(std::atomic<std::size_t> &minimum,
                                             const std::string &text, Describe describe)
{
    const std::size_t usual = minimum;
    auto parse = [&](std::size_t value) {
        minimum = value;
        auto document = X12Parser::parse(text, "t.x12");
        return document ? describe(**document) : std::string(description(document.error()));
    };
    std::pair<std::string, std::string> result{parse(0),
                                               parse(std::numeric_limits<std::size_t>::max())};
    minimum = usual;
    return result;
}

/// The whole document as JSON, with the text segmented in halves and in one pass.
std::pair<std::string, std::string> halvedAndWhole(const std::string &text)
{
    return bothWays(kelvane::detail::halvesMinimum, text, testing_support::jsonOf);
}

TEST(FastPathTest, HalvesMatchTheOnePassSplit)
{
    // Every sample file, then random texts whose halves hold lower-case tags, other than ASCII,
    // headers with other delimiters and blank runs on either side of the cut.
    for (const auto &entry : std::filesystem::directory_iterator(KELVANE_TEST_DATA_DIR)) {
        const std::string text = testing_support::readData(entry.path().filename().string());
        SCOPED_TRACE(entry.path().filename().string());
        const auto [halved, whole] = halvedAndWhole(text);
        ASSERT_EQ(halved, whole);
    }
    const std::string isa = testing_support::isaHeader();
    std::string otherIsa = isa;
    for (char &c : otherIsa)
        c = c == '*' ? '|' : c == '~' ? '\n' : c;
    std::mt19937 random(20261207);
    const std::vector<std::string> pieces{"ST*837*1~", "NM1*85*2*ACME~",
                                          "nm1*il*1~", "N3*\u00C9T\u00C9~",
                                          " ",         "\n",
                                          "~",         "REF*A*B*C~",
                                          "SE*4*1~",   isa,
                                          otherIsa,    "N1|X\n",
                                          "*",         "I"};
    for (int round = 0; round < 2000; ++round) {
        const std::string text = isa + randomText(random, pieces, std::size_t(random() % 120));
        SCOPED_TRACE(text);
        const auto [halved, whole] = halvedAndWhole(text);
        ASSERT_EQ(halved, whole);
    }
    // Past the cut: a segment of 70,000 bytes, one of 300 elements, then 37 short ones, so that
    // the second half's element tables and checkpoints are moved and recounted.
    std::string big = isa + testing_support::repeated("REF*EA*1~", 10'000) + "NTE*" +
                      std::string(70'000, 'A') + "~REF" + testing_support::repeated("*x", 300) +
                      "~" + testing_support::repeated("N1*PR*B~", 37);
    {
        const auto [halved, whole] = halvedAndWhole(big);
        EXPECT_EQ(halved, whole);
    }
    // A second half cut by another header's line feeds into far more segments and elements than
    // its terminators and separators promised.
    const std::string switched = isa + testing_support::repeated("REF*A~", 300) + otherIsa +
                                 testing_support::repeated("N1|PR|B|C|D\n", 300) +
                                 "IEA|1|000000001\n";
    const auto [halved, whole] = halvedAndWhole(switched);
    EXPECT_EQ(halved, whole);
    const auto document = X12Parser::parse(switched, "t.x12");
    ASSERT_TRUE(document);
    EXPECT_EQ((*document)->segments().size(), 603u);
}

/// Everything the tree's walk decides: each node's kind, parent and children, the findings in
/// order and the transaction sets.
std::string walkOf(const X12Document &document)
{
    std::string out;
    for (std::uint32_t i = 0; i < document.nodeCount(); ++i) {
        out +=
            std::to_string(int(document.kind(i))) + " " + std::to_string(document.parent(i)) + " [";
        for (const std::uint32_t child : document.children(i))
            out += std::to_string(child) + " ";
        out += "]\n";
    }
    for (const std::uint32_t root : document.rootNodes())
        out += std::to_string(root) + " ";
    for (std::size_t k = 0; k < document.findingCount(); ++k) {
        const X12Finding finding = document.finding(k);
        out += "\n" + std::to_string(finding.position) + " " + finding.message;
    }
    for (const std::string &code : document.transactionSets())
        out += "\n" + code;
    return out;
}

TEST(FastPathTest, WalkInTwoPartsMatchesTheWalkInOne)
{
    // The walk takes two parts from the middle's transaction set header whenever it can; what a
    // file leaves open, miscounts or repeats on either side of that header must come out as
    // from one walk.
    auto bothWalks = [](const std::string &text) {
        return bothWays(kelvane::detail::partedWalkMinimum, text, [](const X12Document &document) {
            return walkOf(document) + testing_support::jsonOf(document);
        });
    };
    for (const auto &entry : std::filesystem::directory_iterator(KELVANE_TEST_DATA_DIR)) {
        const std::string text = testing_support::readData(entry.path().filename().string());
        SCOPED_TRACE(entry.path().filename().string());
        const auto [parted, whole] = bothWalks(text);
        ASSERT_EQ(parted, whole);
    }
    const std::string isa = testing_support::isaHeader();
    std::mt19937 random(20261208);
    const std::vector<std::string> pieces{isa,
                                          "GS*HC*S*R*20240315*1230*7*X*005010X222A1~",
                                          "ST*837*1~",
                                          "ST*835*2~",
                                          "SE*4*1~",
                                          "SE*9*2~",
                                          "GE*1*7~",
                                          "GE*2*8~",
                                          "IEA*1*000000001~",
                                          "IEA*2*000000002~",
                                          "HL*1**20*1~",
                                          "HL*2*1*22*0~",
                                          "NM1*85*2*ACME~",
                                          "CLM*A1*10~",
                                          "LX*1~",
                                          "CLP*X*1~",
                                          "REF*EA*1~",
                                          "SVC*HC:1~"};
    std::vector<std::string> inside; // what leaves the interchange and the group open
    std::copy_if(pieces.begin(), pieces.end(), std::back_inserter(inside),
                 [&isa](const std::string &piece) {
                     return piece != isa && !piece.starts_with("GE") && !piece.starts_with("IEA");
                 });
    for (int round = 0; round < 3000; ++round) {
        // Some past 128 nodes, so that containers are counted in words the second part began.
        const std::size_t length = std::size_t(random() % (round % 5 == 0 ? 400 : 60));
        std::string text = isa + randomText(random, pieces, length);
        // Often well-formed up to the middle: a group left open, a set closed and the next one
        // opened there; anything after it.
        if (round % 2 == 0)
            text = isa + "GS*HC*S*R*20240315*1230*7*X*005010X222A1~" +
                   randomText(random, inside, length / 2) + "SE*3*1~ST*837*2~" +
                   randomText(random, pieces, length / 2);
        SCOPED_TRACE(text);
        const auto [parted, whole] = bothWalks(text);
        ASSERT_EQ(parted, whole);
    }
}

/// JSON string content as the standard writes it, one byte at a time.
std::string escaped(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        const std::size_t control = reference::controlAt(text, i);
        // Each byte with a short escape, followed by the letter after its backslash.
        const std::string_view named = "\"\"\\\\\nn\rr\tt\bb\ff";
        const std::size_t at = named.find(ch);
        if (at != std::string_view::npos && at % 2 == 0) {
            out += '\\';
            out += named[at + 1];
        } else if (control != 0) {
            i += control - 1; // a C1 control is written as its second byte's code point
            char code[8];
            std::snprintf(code, sizeof code, "\\u%04x",
                          unsigned(static_cast<unsigned char>(text[i])));
            out += code;
        } else {
            out += ch;
        }
    }
    return out;
}

TEST(FastPathTest, JsonEscapesMatchTheByteByByteEscape)
{
    std::mt19937 random(1206);
    // C1 controls, and characters whose UTF-8 shares their first byte.
    const std::vector<std::string> pieces{
        "a",  "b",    "0",      " ",      "\"", "\\",     "\x01",   "\x1F",   "\b",    "\f",
        "\t", "\x7F", "\u00E9", "\u20AC", "x",  "\u0085", "\u009F", "\u00A0", "\u00C2"};
    for (int round = 0; round < 2000; ++round) {
        const std::string value = randomText(random, pieces, std::size_t(random() % 70));
        auto document = X12Parser::parse("ZZ*" + value + "*end~", "fast.x12");
        if (!document)
            continue;
        const X12Segment segment = (*document)->segment(0);
        const std::string json = testing_support::jsonOf(**document);
        SCOPED_TRACE(value);
        ASSERT_NE(json.find("\"raw\":\"" + escaped(segment.raw()) + "\""), std::string::npos);
        for (const std::string_view element : segment.elements())
            ASSERT_NE(json.find("\"value\":\"" + escaped(element) + "\""), std::string::npos);
    }
}

TEST(FastPathTest, Utf8CheckMatchesTheSequenceBySequenceCheck)
{
    std::mt19937 random(612);
    // NUL, overlong forms, a surrogate, past U+10FFFF, a five-byte form, cut sequences, stray
    // bytes.
    const std::vector<std::string> pieces{"abcdefgh",
                                          std::string(70, 'a'),
                                          std::string(1, '\0'),
                                          "x",
                                          "0",
                                          "\u00E9",
                                          "\u20AC",
                                          "\U0001F600",
                                          "\xC0\x80",
                                          "\xE0\x80\xAF",
                                          "\xED\xA0\x80",
                                          "\xF4\x90\x80\x80",
                                          "\xF8\x88\x80\x80\x80",
                                          "\xE2\x82",
                                          "\x80",
                                          "\xFF",
                                          "\xC3",
                                          "\xF0\x9F\x98"};
    // Plain runs of every length up to a few blocks, then random texts; each is checked as a
    // view followed by a bad byte, which the check must not read.
    for (std::size_t size = 0; size < 200; ++size) {
        const std::string followed = std::string(size, 'a') + "\xC3";
        ASSERT_EQ(kelvane::detail::firstInvalidUtf8(std::string_view(followed).substr(0, size)),
                  std::string_view::npos)
            << size;
    }
    for (int round = 0; round < 5000; ++round) {
        const std::string text = randomText(random, pieces, std::size_t(random() % 40));
        const std::string followed = text + "\xFF";
        ASSERT_EQ(
            kelvane::detail::firstInvalidUtf8(std::string_view(followed).substr(0, text.size())),
            reference::firstInvalidUtf8(text))
            << text;
    }
}

// A large text is checked in two halves cut near its middle: a character or a fault across the
// cut must be found where the whole text's check finds it.
TEST(FastPathTest, Utf8CheckInHalvesFindsWhatTheWholeCheckFinds)
{
    const testing_support::ScopedMinimum halves(kelvane::detail::halvesMinimum, 1u << 16);
    std::string text(1u << 20, 'a');
    const std::size_t middle = text.size() / 2;
    const std::vector<std::string> pieces{
        "\u00E9", "\U0001F600", "\xE2\x82", "\x80\x80\x80\x80\x80", "\xF0\x9F\x98\x80\x80", "\xC3"};
    for (const std::string &piece : pieces) {
        for (std::size_t at = middle - 5; at <= middle + 2; ++at) {
            text.replace(at, piece.size(), piece);
            ASSERT_EQ(kelvane::detail::firstInvalidUtf8InHalves(text),
                      kelvane::detail::firstInvalidUtf8(text))
                << at - middle;
            text.replace(at, piece.size(), std::string(piece.size(), 'a'));
        }
    }
    text.back() = '\xFF';
    EXPECT_EQ(kelvane::detail::firstInvalidUtf8InHalves(text), text.size() - 1);
}

/// The text with each control character shown as its symbol, one byte at a time.
std::string visibleByteByByte(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t control = reference::controlAt(text, i);
        if (control == 2) {
            out += "\uFFFD";
            ++i;
        } else if (control == 1 && c == 0x7F) {
            out += "\u2421";
        } else if (control == 1) {
            out += "\xE2\x90";
            out += char(0x80 + c);
        } else {
            out += char(c);
        }
    }
    return out;
}

TEST(FastPathTest, VisibleTextMatchesTheByteByByteWalk)
{
    // "·" and "©" lead with the 0xC2 that also leads C1 controls: a block holding one is looked
    // at byte by byte, and the blocks after it must still be scanned.
    std::mt19937 random(1207);
    const std::vector<std::string> pieces{
        "abcdefghijklmnop",   "x",    " ",      "\u00B7", "\u00A9", "\u009B", "\x1B", "\n",
        std::string(1, '\0'), "\x7F", "\u00E9", "\xC2"};
    for (int round = 0; round < 3000; ++round) {
        const std::string text = randomText(random, pieces, std::size_t(random() % 40));
        ASSERT_EQ(VisibleText::visible(text), visibleByteByByte(text)) << text;
        // The first control character is where the visible text first differs.
        const std::string shown = visibleByteByByte(text);
        const std::size_t first =
            std::size_t(std::ranges::mismatch(text, shown).in1 - text.begin());
        ASSERT_EQ(VisibleText::firstControl(text), first) << text;
        ASSERT_EQ(VisibleText::hasControl(text), shown != text) << text;
    }
}

} // namespace
