#include "core/dictionary/X12Dictionary.h"
#include "core/parse/X12Parser.h"

#include "core/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

using namespace testing_support;

namespace {

struct TextCase
{
    std::string segment; // written with "*" and without terminator
    std::string expected;
};

/// Parses one segment and hands it to `compose`.
std::string composeFor(const std::string &text,
                       const std::function<std::string(const X12Segment &)> &compose)
{
    auto document = parseOk(text + "~ZZZ~");
    return document ? compose(document->segment(0)) : "<parse failed>";
}

void expectAll(const std::vector<TextCase> &cases,
               const std::function<std::string(const X12Segment &)> &compose)
{
    for (const TextCase &c : cases)
        EXPECT_EQ(composeFor(c.segment, compose), c.expected) << c.segment;
}

using X12NodeTextsTest = testing_support::UsLocaleTest;

TEST_F(X12NodeTextsTest, SegmentSubtitles)
{
    expectAll(
        {
            {"DTP*472*D8*20240315", "Service Date: 03/15/2024"},
            {"DTP*472*RD8*20240101-20240131", "Service Date: 20240101-20240131"},
            {"DTP*999*D8*20240315", "999: 03/15/2024"},
            {"DTP", ": "},
            {"REF*EI*123456789", "Employer's ID Number: 123456789"},
            {"AMT*AU*150", "Coverage Amount: $150.00"},
            {"AMT*AU*abc", "Coverage Amount: abc"},
            {"CAS*CO*45*25.5", "Contractual Obligation \u00B7 reason 45 \u00B7 $25.50"},
            {"N3*12 MAIN ST*SUITE 4", "12 MAIN ST, SUITE 4"},
            {"N3**SUITE 4", "SUITE 4"},
            {"N4*SPRINGFIELD*IL*62701", "SPRINGFIELD, IL 62701"},
            {"N4*SPRINGFIELD", "SPRINGFIELD,  "},
            {"DMG*D8*19800101*F", "DOB 01/01/1980 \u00B7 Female"},
            {"PER*IC*JANE*TE*5551234*WP*5559999",
             "JANE \u00B7 Telephone 5551234 \u00B7 Work Phone 5559999"},
            {"PER*IC**TE", ""},
            {"PER*IC**XX*1*TE**EM*a@b", "XX 1 \u00B7 Email a@b"},
            {"HI*ABK:J449*ABF:I10*ABF:E119*ABF:R05*ABF:R06*ABF:R07*ABF:R08*ABF:R09",
             "ABK:J449, ABF:I10, ABF:E119, ABF:R05, ABF:R06, ABF:R07"},
            {"NTE*ADD", ""},
            {"NTE*ADD*CALL FIRST", "CALL FIRST"},
            {"BPR*I*1234.5*C*ACH", "$1,234.50 by Automated Clearing House on "},
            {"BPR*I*5950.21*C*CHK************20090220", "$5,950.21 by Check on 02/20/2009"},
            {"TRN*1*0004926*1382999999", "Trace 0004926"},
            {"SE*25*0001", "control 0001"},
            {"GE*1", "control "},
            {"NM1*85*2*ACME CLINIC", "85 \u00B7 2 \u00B7 ACME CLINIC"},
            {"ISA*00*          *00", "00 \u00B7 " + std::string(10, ' ') + " \u00B7 00"},
            {"LX", ""},
        },
        X12Dictionary::segmentSubtitle);
}

TEST_F(X12NodeTextsTest, LoopTitles)
{
    expectAll(
        {
            {"HL*1**20*1", "HL 1 \u2014 Information Source"},
            {"HL*3*2*99", "HL 3 \u2014 Level 99"},
            {"HL", "HL  \u2014 Level "},
            {"NM1*85*2*ACME CLINIC", "Billing Provider: ACME CLINIC"},
            {"NM1*IL*1*DOE*JOHN*A**JR", "Insured / Subscriber: JOHN A DOE JR"},
            {"NM1*XX*1", "Entity XX"},
            {"NM1*QC*1*Flintstone*Fred", "Patient: Fred Flintstone"},
            {"N1*PR*ACME INSURANCE", "Payer: ACME INSURANCE"},
            {"N1*PE", "Payee"},
            {"CLM*PCN1*150", "Claim PCN1"},
            {"CLP*PCN1*1*100*80", "Claim Payment PCN1"},
            {"LX*3", "Line 3"},
            {"SVC*HC:99213*100*80", "Service 99213"},
            {"SVC*HC>99213", "Service HC>99213"},
            {"SVC*::HC::99213:25", "Service 99213"},
            {"SVC*HC:", "Service HC:"},
            {"PAT*19", "Patient"},
            {"INS*Y*18", "Insured / Member"},
            {"ENT*1*2J", "Entity 1"},
            {"SV1*HC:99213*100", "SV1 \u2014 Professional Service"},
            {"TS3*1", "TS3 \u2014 Provider Summary Information"},
            {"ZZZ*1", "ZZZ \u2014 Segment ZZZ"},
        },
        X12Dictionary::loopTitle);
}

TEST_F(X12NodeTextsTest, PersonNames)
{
    expectAll(
        {
            {"NM1*IL*1*****JR", " JR"},
            {"NM1*IL*1*DOE*JOHN", "JOHN DOE"},
            {"NM1*IL*1*DOE**Q", "Q DOE"},
            {"NM1*IL*2*ACME*JOHN***III", "ACME III"},
            {"NM1*IL", ""},
            {"N1*PR*ACME*XV*1", "ACME"},
        },
        X12Dictionary::personName);
}

TEST_F(X12NodeTextsTest, LoopSubtitles)
{
    expectAll(
        {
            {"NM1*85*2*ACME CLINIC*****XX*1234567890", "NPI 1234567890"},
            {"NM1*85*2*ACME CLINIC*****Q7*1", "Q7 1"},
            {"NM1*85*2*ACME CLINIC", ""},
            {"CLM*PCN1*150", "Charge $150.00"},
            {"CLM*PCN1*abc", ""},
            {"CLP*PCN1*1*100*80", "Processed as Primary \u00B7 charged $100.00 \u00B7 paid $80.00"},
            {"CLP*PCN1*99*100", "charged $100.00"},
            {"CLP*PCN1*99", ""},
            {"SVC*HC:99213*100*80", "charged $100.00 \u00B7 paid $80.00"},
            {"SVC*HC:99213**80", "paid $80.00"},
            {"DTP*472*D8*20240315", "Service Date: 03/15/2024"},
            {"N1*PR*ACME", "PR \u00B7 ACME"},
        },
        X12Dictionary::loopSubtitle);
}

TEST_F(X12NodeTextsTest, EnvelopeSubtitles)
{
    expectAll(
        {
            {"GS*HC*SENDER*RECEIVER*20240315*1230*1*X*005010X222A1",
             "Health Care Claim (837) \u00B7 SENDER \u2192 RECEIVER \u00B7 03/15/2024 \u00B7 "
             "005010X222A1"},
            {"GS*ZZ*A*B*2024", "ZZ \u00B7 A \u2192 B \u00B7 2024 \u00B7 "},
            {isaHeader("*", "^", ":", ""),
             "SENDER \u2192 RECEIVER \u00B7 03/15/2024 \u00B7 Production \u00B7 control 000000001"},
            {"ISA*00**00**ZZ*\t S\u00A0\u3000*ZZ* R \n*991231*1230*^*00501*7*0*X*:",
             "S \u2192 R \n \u00B7 12/31/1999 \u00B7 X \u00B7 control 7"},
            {"ST*837*0001", ""},
        },
        X12Dictionary::envelopeSubtitle);
}

TEST_F(X12NodeTextsTest, QuotedPiecesStopAtTheLimit)
{
    // A tag and a value of a thousand bytes, quoted whole unless a limit is set on the thread;
    // then cut before the character that would cross it.
    const std::string tag = "Q" + std::string(1000, 'T');
    const std::string value = "\u00E9" + std::string(1000, 'v');
    const std::string text = tag + "*" + value + "*B~ZZZ~";
    auto document = parseOk(text);
    ASSERT_TRUE(document);
    auto titles = [&](std::uint32_t node) {
        return X12Dictionary::nodeTitle(*document, node) + " | " +
               X12Dictionary::nodeSubtitle(*document, node);
    };
    EXPECT_EQ(titles(0), tag + " \u2014 Segment " + tag + " | " + value + " \u00B7 B");
    {
        const X12Dictionary::QuotedPieceLimit limit(4);
        // "é" takes two bytes: a limit of four keeps "é" and two more.
        EXPECT_EQ(titles(0), "QTTT \u2014 Segment QTTT | \u00E9vv \u00B7 B");
        EXPECT_EQ(X12Dictionary::segmentName(tag), "Segment QTTT");
        {
            const X12Dictionary::QuotedPieceLimit shorter(1);
            EXPECT_EQ(titles(0), "Q \u2014 Segment Q | B"); // no half of "é": an empty part
        }
        EXPECT_EQ(X12Dictionary::segmentName(tag), "Segment QTTT");
    }
    EXPECT_EQ(X12Dictionary::segmentName(tag), "Segment " + tag);
}

} // namespace
