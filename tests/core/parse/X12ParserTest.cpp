#include "core/parse/X12Parser.h"
#include "core/text/TextFile.h"

#include "core/TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

using namespace testing_support;
using testing::ElementsAre;

namespace {

TEST(X12ParserTest, DetectsDelimiters)
{
    struct Case
    {
        std::string name;
        std::string text;
        X12Delimiters expected;
    };
    const Case cases[] = {
        {"StandardHeader", isaHeader() + "\nGS*HC~\n", {"*", ":", "^", "~"}},
        {"OtherHeaderDelimiters", isaHeader("|", "!", ">", "\x1D"), {"|", ">", "!", "\x1D"}},
        {"LetterUAsRepetition", isaHeader("*", "U"), {"*", ":", "^", "~"}},
        {"DigitAsRepetition", isaHeader("*", "5"), {"*", ":", "^", "~"}},
        {"SpaceAsRepetition", isaHeader("*", " "), {"*", ":", "^", "~"}},
        {"NonAsciiLetterAsRepetition", isaHeader("*", "\u00C9"), {"*", ":", "^", "~"}},
        {"RomanNumeralAsRepetition", isaHeader("*", "\u216B"), {"*", ":", "^", "~"}},
        {"NonBreakingSpaceIsKept", isaHeader("*", "\u00A0"), {"*", ":", "\u00A0", "~"}},
        {"LineFeedAfterHeader", isaHeader("*", "^", ":", "\n") + "GS*HC\n", {"*", ":", "^", "\n"}},
        {"CarriageReturnAfterHeader",
         isaHeader("*", "^", ":", "\r") + "GS\r",
         {"*", ":", "^", "\n"}},
        {"EllipsisTerminator",
         isaHeader("*", "^", ":", "\u2026") + "GS",
         {"*", ":", "^", "\u2026"}},
        {"HeaderInsideAWord", "DIS" + isaHeader(), {"*", ":", "^", "~"}},
        {"ShortHeaderIsNoHeader",
         "ISA|00|x\x1D"
         "GS|1\x1D",
         {"|", ":", "^", "\x1D"}},
        {"LowerCaseIsaIsNoHeader",
         "isa|" + isaHeader("*").substr(4) + "GS|HC",
         {"*", ":", "^", "~"}},
        {"AsteriskBeatsBarWhicheverComesFirst", "A|B*C~", {"*", ":", "^", "~"}},
        {"BarWithoutAsterisk", "ST|837|1~SE|2|1~", {"|", ":", "^", "~"}},
        {"UnitSeparator",
         "ST\x1F"
         "837\x1DSE\x1F"
         "2\x1D",
         {"\x1F", ":", "^", "\x1D"}},
        {"TildeBeatsGroupSeparator",
         "A*1\x1D"
         "B*2~",
         {"*", ":", "^", "~"}},
        {"NewlineWhenNoTerminator", "ST*837*0001\nSE*2*0001\n", {"*", ":", "^", "\n"}},
        {"NothingKnown", "hello world", {"*", ":", "^", "\n"}},
        {"OnlyTheFirst4000CharactersCount", repeated("a", 4000) + "|~", {"*", ":", "^", "\n"}},
        {"CharactersNotBytesCount", repeated("\u00E9", 3999) + "|~", {"|", ":", "^", "\n"}},
        // Past the first 4000 characters the header is found by its bytes, and must still be
        // three whole characters.
        {"HeaderFarIntoTheText",
         repeated("x", 5000) + isaHeader("|", "!", ">", "\x1D"),
         {"|", ">", "!", "\x1D"}},
        {"HeaderAcrossTheSampleEnd",
         repeated("\u00E9", 3998) + isaHeader("|", "!", ">", "~"),
         {"|", ">", "!", "~"}},
        {"MarkedOrPrependedTriplesAreNoHeader",
         repeated("x", 5000) + "ISA\u0301 \u0600ISA " + isaHeader("|", "!", ">", "~"),
         {"|", ">", "!", "~"}},
        {"ShortHeaderFarIn", repeated("x", 5000) + "ISA|00|~", {"*", ":", "^", "\n"}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(X12Parser::detectDelimiters(c.text), c.expected) << c.name;
}

TEST(X12ParserTest, StandardInterchangeSplitsIntoSegments)
{
    auto document =
        parseOk(isaHeader() + "\nGS*HC*A*B~\nST*837*0001~\nSE*2*0001~\nGE*1*1~\nIEA*1*1~\n");
    ASSERT_TRUE(document);
    EXPECT_EQ(document->delimiters(), (X12Delimiters{"*", ":", "^", "~"}));
    ASSERT_EQ(document->segments().size(), 6u);
    const std::ptrdiff_t offsets[] = {0, 107, 118, 131, 142, 150};
    for (std::size_t i = 0; i < 6; ++i) {
        const X12Segment segment = document->segments()[i];
        EXPECT_EQ(segment.position(), std::ptrdiff_t(i + 1));
        EXPECT_EQ(segment.offset(), offsets[i]);
        EXPECT_EQ(segment.raw().find('\n'), std::string_view::npos);
    }
    const X12Segment gs = document->segment(1);
    EXPECT_EQ(gs.raw(), "GS*HC*A*B");
    EXPECT_EQ(gs.tag(), "GS");
    EXPECT_THAT(elementsOf(gs), ElementsAre("HC", "A", "B"));
    EXPECT_EQ(document->segment(0).elementCount(), 16u);
    EXPECT_EQ(document->segment(0).element(15), ":");
    EXPECT_EQ(document->summaryLine(), "6 segments \u00B7 transaction set 837");
}

TEST(X12ParserTest, ByteOrderMarkWhereFilesWereJoinedBelongsToNoTag)
{
    // Two files, each with its byte-order mark, joined: the first mark went with the decoding.
    const std::string file = isaHeader() + "\nIEA*1*000000001~\n";
    auto document = parseOk(file + "\xEF\xBB\xBF" + file);
    ASSERT_TRUE(document);
    EXPECT_EQ(tags(*document), "ISA\nIEA\nISA\nIEA\n");
    EXPECT_EQ(outline(*document), "ISA\n  IEA\nISA\n  IEA\n");
    EXPECT_EQ(document->segment(2).raw(), isaHeader().substr(0, 105));
    EXPECT_EQ(document->segment(2).offset(), 107 + 17 + 1);
    // Inside a segment, a mark is text like any other.
    auto inside = parseOk("NM1*IL*\xEF\xBB\xBF"
                          "DOE~N3*A~");
    ASSERT_TRUE(inside);
    EXPECT_EQ(inside->segment(0).element(1), "\xEF\xBB\xBF"
                                             "DOE");
}

TEST(X12ParserTest, ElementsKeepEmptyAndWrittenText)
{
    auto document = parseOk("NM1*IL*1**~LX~ dtp*472*d8*20240315 ~*A*B~N3* x ~");
    ASSERT_TRUE(document);
    ASSERT_EQ(document->segments().size(), 5u);
    EXPECT_THAT(elementsOf(document->segment(0)), ElementsAre("IL", "1", "", ""));
    EXPECT_EQ(document->segment(1).tag(), "LX");
    EXPECT_EQ(document->segment(1).elementCount(), 0u);
    EXPECT_EQ(document->segment(2).tag(), "DTP");
    EXPECT_THAT(elementsOf(document->segment(2)), ElementsAre("472", "d8", "20240315"));
    EXPECT_EQ(document->segment(2).raw(), "dtp*472*d8*20240315");
    EXPECT_EQ(document->segment(2).offset(), 15);
    EXPECT_EQ(document->segment(3).tag(), "");
    EXPECT_THAT(elementsOf(document->segment(3)), ElementsAre("A", "B"));
    EXPECT_THAT(elementsOf(document->segment(4)), ElementsAre(" x"));
    EXPECT_EQ(document->segment(0).elementAt(1), "IL");
    EXPECT_EQ(document->segment(0).elementAt(0), "");
    EXPECT_EQ(document->segment(0).elementAt(9), "");
}

/// The segment terminator, then each segment as "position:offset tag raw", one per line.
std::string cuts(const X12Document &document)
{
    std::string text = "terminator " + document.delimiters().segment + "\n";
    for (const X12Segment segment : document.segments()) {
        text += std::to_string(segment.position()) + ":" + std::to_string(segment.offset()) + " " +
                std::string(segment.tag()) + " " + std::string(segment.raw()) + "\n";
    }
    return text;
}

TEST(X12ParserTest, WhereSegmentsAreCut)
{
    const std::string isaEllipsis = isaHeader("*", "^", ":", "\u2026");
    const std::string isaReturn = isaHeader("*", "^", ":", "\r");
    struct Case
    {
        const char *name;
        std::string text;
        std::string cuts;
    };
    const Case cases[] = {
        // Tags are upper-cased in full: "ß" becomes "SS".
        {"FullUpperCase", "stra\u00DFe*1~isa*x~",
         "terminator ~\n1:0 STRASSE stra\u00DFe*1\n2:9 ISA isa*x\n"},
        {"TextAfterTheLastTerminator", "A*1~B*2~C*3",
         "terminator ~\n1:0 A A*1\n2:4 B B*2\n3:8 C C*3\n"},
        {"BlanksAreNoSegments", "A*1~~~ \n\t~B*2~ \n \n", "terminator ~\n1:0 A A*1\n2:10 B B*2\n"},
        // Offsets count characters: "É" precomposed is two bytes, "E" and a combining acute three.
        {"Precomposed", "NM1*JOS\u00C9~N3*X~",
         "terminator ~\n1:0 NM1 NM1*JOS\u00C9\n2:9 N3 N3*X\n"},
        {"Combining", "NM1*JOSE\u0301~N3*X~",
         "terminator ~\n1:0 NM1 NM1*JOSE\u0301\n2:9 N3 N3*X\n"},
        // A tilde with a combining mark is another character, and ends no segment.
        {"MarkedTerminator", "A*1~\u0301B*2~C*3~",
         "terminator ~\n1:0 A A*1~\u0301B*2\n2:8 C C*3\n"},
        {"MultiByteTerminator", isaEllipsis + "\nGS*QM*\u00E9\u2026\nGE*1*1\u2026\n",
         "terminator \u2026\n1:0 ISA " + isaEllipsis.substr(0, 105) +
             "\n2:107 GS GS*QM*\u00E9\n3:116 GE GE*1*1\n"},
        // CR LF is a line feed; a lone carriage return stays text.
        {"CrLf", "A*1\r\nB*2\r\nC*\r3\n", "terminator \n\n1:0 A A*1\n2:4 B B*2\n3:8 C C*\r3\n"},
        {"BareCarriageReturns", isaReturn + "GS*HC\rST*837\rSE*1\r",
         "terminator \r\n1:0 ISA " + isaReturn.substr(0, 105) +
             "\n2:106 GS GS*HC\n3:112 ST ST*837\n4:119 SE SE*1\n"},
        {"OneLine", "ST*837*0001", "terminator \n\n1:0 ST ST*837*0001\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        auto document = parseOk(c.text);
        ASSERT_TRUE(document);
        EXPECT_EQ(cuts(*document), c.cuts);
    }
    EXPECT_EQ(parseOk("A*1\r\nB*2\r\nC*\r3\n")->text(), "A*1\nB*2\nC*\r3\n");
}

// A terminator is given up for line feeds at its first segment of 4000 characters, when line
// feeds cut more segments; the blanks around a segment are not its characters.
TEST(X12ParserTest, FallbackToLineFeeds)
{
    auto padded = [](std::string_view blank, std::string_view letter, std::size_t letters) {
        const std::string pad = repeated(std::string(blank), 5000);
        return repeated(pad + repeated(std::string(letter), letters) + pad + "~", 3);
    };
    struct Case
    {
        const char *name;
        std::string text;
        std::string terminator;
        std::size_t segments;
    };
    const Case cases[] = {
        {"OverlongSegment", "HDR*1~" + repeated("NM1*X*Y\n", 1000) + "~", "\n", 1001},
        {"NoFallbackGivesMore", "A*1~" + repeated("x", 4000) + "~", "~", 2},
        {"PaddedFits", padded(" ", "x", 3999), "~", 3},
        {"PaddedTooLong", padded(" ", "x", 4000), "\n", 1},
        {"WidePaddedFits", padded("\u00A0", "\u00E9", 3999), "~", 3},
        {"WidePaddedTooLong", padded("\u00A0", "\u00E9", 4000), "\n", 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        auto document = parseOk(c.text);
        ASSERT_TRUE(document);
        EXPECT_EQ(document->delimiters().segment, c.terminator);
        EXPECT_EQ(document->segments().size(), c.segments);
    }
    auto overlong = parseOk(cases[0].text);
    ASSERT_TRUE(overlong);
    EXPECT_EQ(overlong->segment(0).raw(), "HDR*1~NM1*X*Y");
    EXPECT_EQ(overlong->segment(1000).raw(), "~");
}

TEST(X12ParserTest, FailsOnlyWhenEmptyOrWithoutSegments)
{
    for (std::string text : {"", "\n\n", " \t\r\n\u00A0\u2028 "}) {
        auto result = X12Parser::parse(text, "x");
        ASSERT_FALSE(result);
        EXPECT_EQ(result.error(), X12ParseError::empty);
    }
    auto tildes = X12Parser::parse("~~~~~~", "x");
    ASSERT_FALSE(tildes);
    EXPECT_EQ(tildes.error(), X12ParseError::noSegments);

    auto prose = parseOk("Dear colleague,\nthis is not X12.\n");
    ASSERT_TRUE(prose);
    EXPECT_EQ(prose->segments().size(), 2u);
}

TEST(X12ParserTest, BlankElementSeparator)
{
    const X12SegmentList list = X12Parser::splitSegments("  A B  C  ~ D ~", {" ", ":", "^", "~"});
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].raw(), "A B  C");
    EXPECT_EQ(list[0].tag(), "A");
    EXPECT_THAT(elementsOf(list[0]), ElementsAre("B", "", "C"));
    EXPECT_EQ(list[0].offset(), 2);
    EXPECT_EQ(list[1].elementCount(), 0u);
}

TEST(X12ParserTest, TransactionSetCodesAreDistinctAndOrdered)
{
    auto document = parseOk("ST*835*1~SE*1*1~ST~ST**2~ST*999*3~ST*835*4~");
    ASSERT_TRUE(document);
    EXPECT_THAT(document->transactionSets(), ElementsAre("835", "999"));
    EXPECT_EQ(document->summaryLine(), "6 segments \u00B7 transaction set 835, 999");

    auto none = parseOk("ST~ST**1~");
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->transactionSets().empty());
    EXPECT_EQ(none->summaryLine(), "2 segments \u00B7 transaction set unknown");
}

TEST(X12ParserTest, HostileShapesParseInLinearTime)
{
    // Each would take hours if a pass rescanned the rest of the text per segment or character.
    auto accents = parseOk(repeated("\u00E9~", 500000));
    ASSERT_TRUE(accents);
    EXPECT_EQ(accents->segments().size(), 500000u);
    EXPECT_EQ(accents->segments().back().offset(), 999998);

    auto noTerminator = parseOk(repeated("ABCDEFGH*", 1000000));
    ASSERT_TRUE(noTerminator);
    EXPECT_EQ(noTerminator->segments().size(), 1u);
    EXPECT_EQ(noTerminator->segment(0).elementCount(), 1000000u);

    auto longSegments = parseOk(repeated(repeated("x", 3999) + "~", 500));
    ASSERT_TRUE(longSegments);
    EXPECT_EQ(longSegments->segments().size(), 500u);

    // The first 4000 characters hold no terminator, and no fallback split looks right.
    auto tooLong = parseOk(repeated(repeated("x", 4000) + "~", 500));
    ASSERT_TRUE(tooLong);
    EXPECT_EQ(tooLong->segments().size(), 1u);

    // Every header declares other delimiters than the one before it.
    auto mailbag = parseOk(repeated(isaHeader() + isaHeader("|", "!", ">", "}"), 20000));
    ASSERT_TRUE(mailbag);
    EXPECT_EQ(mailbag->segments().size(), 40000u);

    auto combining = parseOk(repeated("e\u0301", 1000000));
    ASSERT_TRUE(combining);
    EXPECT_EQ(combining->segment(0).raw().size(), 3000000u);
}

TEST(X12ParserTest, EachInterchangeIsCutWithItsOwnDelimiters)
{
    // The second interchange follows a byte-order mark and non-ASCII text, so it is found by the
    // character walk; the third follows plain ASCII again.
    const std::string text = isaHeader() + "NM1*\u00C9\u00C9~\xEF\xBB\xBF" +
                             isaHeader("|", "!", ">", "\n") + "N1|\u00D6\n" +
                             isaHeader("*", "^", ":", "\x15") + "N1*A\x15";
    auto document = parseOk(text);
    ASSERT_TRUE(document);
    EXPECT_EQ(tags(*document), "ISA\nNM1\nISA\nN1\nISA\nN1\n");
    const std::ptrdiff_t offsets[] = {0, 106, 114, 220, 225, 331};
    for (std::uint32_t i = 0; i < 6; ++i)
        EXPECT_EQ(document->segment(i).offset(), offsets[i]) << i;
    EXPECT_EQ(document->segment(3).element(0), "\u00D6");
    EXPECT_EQ(document->segment(5).element(0), "A");

    const X12Delimiters first{"*", ":", "^", "~"};
    const X12Delimiters second{"|", ">", "!", "\n"};
    const X12Delimiters third{"*", ":", "^", "\x15"};
    EXPECT_EQ(document->delimiters(), first);
    const X12Delimiters *expected[] = {&first, &first, &second, &second, &third, &third};
    for (std::uint32_t i = 0; i < 6; ++i)
        EXPECT_EQ(document->delimitersAt(i), *expected[i]) << i;

    // A header that changes only the component separator cuts nothing differently.
    auto component = parseOk(isaHeader() + "IEA*1*1~" + isaHeader("*", "^", ">") + "GS*X~");
    ASSERT_TRUE(component);
    EXPECT_EQ(tags(*component), "ISA\nIEA\nISA\nGS\n");
    EXPECT_EQ(component->delimitersAt(1).component, ":");
    EXPECT_EQ(component->delimitersAt(3).component, ">");
}

TEST(X12ParserTest, LaterHeadersThatCutNothingDifferently)
{
    std::string garbled = isaHeader("|", "!", ">", "}");
    garbled[38] = '|'; // inside ISA06
    const std::pair<std::string, std::string> cases[] = {
        {"InsideASegment", isaHeader() + "GS*HC~NTE*" + isaHeader("|", "!", ">", "}") + "GS|HC}"},
        {"Garbled", isaHeader() + "IEA*1*1~" + garbled + "GS|HC}"},
        {"SameDelimiters", isaHeader() + "IEA*1*1~\n" + isaHeader() + "GS*HC~"},
        // The first header's terminator leaves a segment too long to be X12, so the file's
        // headers are not followed, and no fallback looks right either.
        {"FirstCutDoesNotLookRight",
         isaHeader() + "GS*X~" + isaHeader("|", "!", ">", "}") + "GS|" + repeated("A", 5000) + "}"},
    };
    for (const auto &[name, text] : cases) {
        SCOPED_TRACE(name);
        auto document = parseOk(text);
        ASSERT_TRUE(document);
        const X12SegmentList firstCut = X12Parser::splitSegments(text, document->delimiters());
        ASSERT_EQ(document->segments().size(), firstCut.size());
        for (std::uint32_t i = 0; i < firstCut.size(); ++i) {
            EXPECT_EQ(document->segment(i).raw(), firstCut[i].raw());
            EXPECT_EQ(document->delimitersAt(i), document->delimiters());
        }
    }
}

/// The header without the padding of ISA06 and ISA08: 74 characters and its terminator.
std::string unpadded(std::string header)
{
    header.erase(header.find("RECEIVER") + 8, 7);
    header.erase(header.find("SENDER") + 6, 9);
    return header;
}

TEST(X12ParserTest, RealWorldLayouts)
{
    const std::string wrapped = readData("210-ts210_80char.edi");
    std::string joined = wrapped;
    std::erase(joined, '\n');
    const std::string note = "NTE*ADD*" + repeated("X", 97); // as long as the header
    struct Case
    {
        const char *name;
        std::string text;
        std::string cuts;
    };
    const Case cases[] = {
        {"UnpaddedHeader", unpadded(isaHeader("*", "!", ">", "}")) + "GS*HC}ST*837*1}",
         "terminator }\n1:0 ISA " + unpadded(isaHeader("*", "!", ">", "")) +
             "\n2:90 GS GS*HC\n3:96 ST ST*837*1\n"},
        {"LaterUnpaddedHeader",
         isaHeader() + "IEA*1*1~" + unpadded(isaHeader("|", "!", ">", "}")) + "GS|HC}",
         "terminator ~\n1:0 ISA " + isaHeader("*", "^", ":", "") +
             "\n2:106 IEA IEA*1*1\n3:114 ISA " + unpadded(isaHeader("|", "!", ">", "")) +
             "\n4:204 GS GS|HC\n"},
        {"LaterCarriageReturn",
         isaHeader() + "IEA*1*1~" + isaHeader("|", "!", ">", "\r") + "GS|HC\rGE|1\r",
         "terminator ~\n1:0 ISA " + isaHeader("*", "^", ":", "") +
             "\n2:106 IEA IEA*1*1\n3:114 ISA " + isaHeader("|", "!", ">", "") +
             "\n4:220 GS GS|HC\n5:226 GE GE|1\n"},
        {"LineBeforeHeader", "$$ADD ID=ABC BID='XYZ'\n" + isaHeader() + "GS*HC~",
         "terminator ~\n1:0 $$ADD ID=ABC BID='XYZ' $$ADD ID=ABC BID='XYZ'\n2:23 ISA " +
             isaHeader("*", "^", ":", "") + "\n3:129 GS GS*HC\n"},
        // Lines of one width that end at terminators are no records to join.
        {"LinesOfOneWidth", isaHeader() + "\n" + note + "~\n" + note + "~\n",
         "terminator ~\n1:0 ISA " + isaHeader("*", "^", ":", "") + "\n2:107 NTE " + note +
             "\n3:214 NTE " + note + "\n"},
        // Records of 80 characters, broken inside the header too, read as the text without breaks.
        {"Wrapped", wrapped, cuts(*parseOk(joined))},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        auto document = parseOk(c.text);
        ASSERT_TRUE(document);
        EXPECT_EQ(cuts(*document), c.cuts);
    }
    auto later = parseOk(cases[1].text);
    ASSERT_TRUE(later);
    EXPECT_EQ(later->delimitersAt(3), (X12Delimiters{"|", ">", "!", "}"}));
}

TEST(X12ParserTest, SegmentsAreEqualOnlyWithinOneParse)
{
    const std::string text = "A*1~B*2~";
    auto first = parseOk(text);
    auto second = parseOk(text);
    ASSERT_TRUE(first && second);
    EXPECT_NE(first->segment(0), second->segment(0));
    EXPECT_EQ(first->segment(0), first->segment(0));
    EXPECT_NE(first->segment(0), first->segment(1));
}

std::shared_ptr<const X12Document> parseSample(const std::string &name)
{
    auto text = TextFile::read(dataPath(name), TextFile::Decoding::utf8OrLatin1);
    if (!text) {
        ADD_FAILURE() << text.error().description();
        return nullptr;
    }
    return parseOk(std::move(*text), name);
}

struct SampleCase
{
    std::string file;
    X12Delimiters delimiters;
    std::size_t segments;
    std::size_t roots;
    std::vector<std::string> transactionSets;
};

// What the parser makes of named public sample files (see data/README.md). The fuzz replay runs
// every sample through the generic checks; these are the results only a named file can pin down.
TEST(X12ParserTest, SampleFiles)
{
    const std::vector<SampleCase> cases{
        {"837p-x12_valid.txt", {"*", ":", "^", "~"}, 38, 1, {"837"}},
        {"837p-x12_valid_different_separators.txt", {"~", "^", "^", "_"}, 38, 1, {"837"}},
        {"214-ts214_ellipses_segterm.edi", {"*", ">", "^", "\u2026"}, 24, 1, {"214"}},
        {"835-multiLineNotDelimited.edi", {"*", ":", "^", "\n"}, 69, 1, {"835"}},
        {"835-oneLine-2-ISA.edi", {"*", ":", "^", "~"}, 70, 2, {"835"}},
        {"997-simple997-multiple-interchanges.edi", {"*", ":", "^", "~"}, 36, 3, {"997"}},
        {"000-simple_with_binary_segment.edi", {"*", ":", "^", "~"}, 9, 1, {"000"}},
        {"isa-only-segment_terminator.edi", {"*", ":", ">", "\n"}, 1, 1, {}},
        {"notx12-bad_file.edi", {"*", ":", "^", "\n"}, 1, 1, {}},
        {"837p-x12_no_isa_line.txt", {"*", ":", "^", "~"}, 44, 2, {"837"}},
        {"mixed-278-837-835-mult_isa.txt", {"*", ":", "^", "~"}, 52, 2, {"278", "837", "835"}},
        {"mixed-mailbag-4-terminators.edi",
         {"*", ":", "^", "~"},
         106,
         4,
         {"835", "271", "999", "214"}},
        // Each line of prose before ISA is a segment outside the interchange.
        {"835-split.edi", {"*", ":", "^", "~"}, 38, 3, {"835"}},
    };
    for (const SampleCase &c : cases) {
        SCOPED_TRACE(c.file);
        auto document = parseSample(c.file);
        ASSERT_TRUE(document);
        EXPECT_EQ(document->delimiters(), c.delimiters);
        EXPECT_EQ(document->segments().size(), c.segments);
        EXPECT_EQ(document->rootNodes().size(), c.roots);
        EXPECT_EQ(document->transactionSets(), c.transactionSets);
    }

    // The same claims with a tilde between elements; a binary payload keeps its line feeds.
    auto plain = parseSample("837p-x12_valid.txt");
    auto other = parseSample("837p-x12_valid_different_separators.txt");
    auto binary = parseSample("000-simple_with_binary_segment.edi");
    ASSERT_TRUE(plain && other && binary);
    EXPECT_EQ(outline(*plain), outline(*other));
    EXPECT_EQ(other->segment(19).element(2), "DOE");
    EXPECT_EQ(binary->segment(5).raw(), "BIN*25*1234567890\n1234567890\n12");
}

} // namespace
