#include "core/guides/X12GuideLoops.h"

#include "core/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace testing_support;

namespace {

/// A finding on one line, every field of it: "12 2010AA N402 - -/1: <message>", "-" for an empty
/// field, the rule before the codes when there is one, " warning" after them for a warning.
std::string line(const X12GuideFinding &f)
{
    auto field = [](std::string_view text) { return std::string(text.empty() ? "-" : text); };
    return std::to_string(f.position) + " " + field(f.loop) + " " + field(f.element) + " " +
           field(f.rule) + " " + field(f.segmentCode) + "/" + field(f.elementCode) +
           (f.severity == X12Finding::Severity::warning ? " warning" : "") + ": " + f.message;
}

/// What the check finds in the text, a line each.
std::string findingsOf(const std::string &text)
{
    std::string found;
    auto document = parseOk(text);
    if (!document)
        return found;
    const X12GuideLoops loops = X12GuideLoops::checked(*document);
    for (const X12GuideFinding &finding : loops.findings())
        found += (found.empty() ? "" : "\n") + line(finding);
    return found;
}

// One segment a line: line n is segment n.
const std::string claim = validClaim();
// A 5010 enrollment whose repetition separator is "!".
const std::string enrollment = readData("834-834_ls_le_ls.txt");
const std::string listBill = readData("820-list-bill.edi");
// A 5010 benefit response whose EB03 repeats, separated by "^".
const std::string eligibility = readData("271-dependent-health-benefit-check.271");

TEST(X12GuideCheckTest, ValidSamplesBreakNothingButTheirSums)
{
    const std::pair<std::string, std::string> samples[] = {
        {claim, ""},
        {enrollment, ""},
        {listBill, ""},
        {readData("837p-pyx12-simple_837p.txt"),
         "21 2300 CLM02 - -/-: CLM02 21 is not the sum of the claim's service line charges, 42.00\n"
         "51 2300 CLM02 - -/-: CLM02 21 is not the sum of the claim's service line charges, 43.00"},
        {readData("835-835_simple.txt"),
         "4 - BPR02 - -/-: BPR02 5950.21 is not the claims' payments (CLP04) less the provider "
         "adjustments (PLB), 467.69"},
    };
    for (const auto &[text, findings] : samples) {
        SCOPED_TRACE(text.substr(0, 200));
        EXPECT_EQ(findingsOf(text), findings);
    }
}

/// `value` `count` times, separated by "^".
std::string repeated(const std::string &value, std::size_t count)
{
    std::string text = value;
    for (std::size_t i = 1; i < count; ++i)
        text += "^" + value;
    return text;
}

/// A valid file with one piece of its text replaced, and all it must give.
struct Case
{
    const std::string &text;
    std::string from; // found once in the text
    std::string to;
    std::string findings;
};

void expectEach(const std::vector<Case> &cases)
{
    for (const Case &c : cases) {
        SCOPED_TRACE(c.to);
        std::string text = c.text;
        const std::size_t at = text.find(c.from);
        ASSERT_NE(at, std::string::npos);
        ASSERT_EQ(text.find(c.from, at + 1), std::string::npos);
        EXPECT_EQ(findingsOf(text.replace(at, c.from.size(), c.to)), c.findings);
    }
}

TEST(X12GuideCheckTest, SegmentsOutOfPlaceMissingOrTooMany)
{
    const std::string contact = "PER*IC*SUPPORT*EM*Support@dev.null*TE*8005553333~\n";
    const std::string street = "N3*399 ELM ROAD~\n";
    expectEach({
        // A service line's SV1 cannot come in the billing provider's name.
        {claim, street, street + "SV1*HC:H2015:TT*21*UN*12***1~\n",
         "12 2010AA - - 2/-: SV1 is not expected here in loop 2010AA"},
        // A segment the guide has nowhere is not in the transaction set at all.
        {claim, street, street + "BGN*00*1*20040101~\n",
         "12 2010AA - - 6/-: BGN is not a segment of the 837 guide 004010X098A1"},
        {claim, contact, contact + contact + contact,
         "9 1000A - - 5/-: PER occurs 3 times in loop 1000A; this guide allows 2 times"},
        {claim, "NM1*40", "NM1*41*2*SECOND*****46*99999~\nPER*IC*SUPPORT*TE*8005553333~\nNM1*40",
         "8 1000A - - 4/-: Loop 1000A occurs 2 times; this guide allows 1 time in the "
         "transaction set"},
        // What is missing is reported where the walk passes it, under the loop it is missing
        // from.
        {claim, "N4*Kalamazoo*MI*49001~\n", "",
         "12 2010AA - - 3/-: Required segment N4 (Geographic Location) is missing from loop "
         "2010AA"},
        {claim, "NM1*40*2*Receiver 1*****46*8888888~\n", "",
         "8 - - - 3/-: Required loop 1000B (Receiver Name) is missing from the transaction set"},
    });
}

TEST(X12GuideCheckTest, ElementRules)
{
    const std::string address = "N4*Kalamazoo*MI*49001";
    expectEach({
        {claim, address, "N4*Kalamazoo**49001",
         "12 2010AA N402 - -/1: N402 (State or Province) is required by this guide and is empty"},
        {claim, "NM1*85*2*Sender 1****", "NM1*85*2*Sender 1***X*",
         "10 2010AA NM106 - -/I10: NM106 \"X\" is not used by this guide"},
        {claim, "N3*399 ELM ROAD", "N3*399 ELM ROAD**X",
         "11 2010AA N303 - -/3: N3 has 3 elements; this guide defines 2"},
        {claim, "*42***12::1*", "*42***12::1:9*",
         "21 2300 CLM05-4 - -/13: CLM05 has more components than the 3 this guide defines"},
        {claim, address, "N4*Kalamazoo*MIC*49",
         "12 2010AA N402 - -/5: N402 \"MIC\" is too long: 3 characters, at most 2\n"
         "12 2010AA N403 - -/4: N403 \"49\" is too short: 2 characters, at least 3"},
        {listBill, "ENT*1*2J", "ENT*1A*2J",
         "10 2000B ENT01 - -/6: ENT01 \"1A\" is not a whole number"},
        {claim, "CLM*3215338*42", "CLM*3215338*4X2",
         "21 2300 CLM02 - -/6: CLM02 \"4X2\" is not a decimal number"},
        {claim, "*20041105*1526*RP", "*20061303*2460*RP",
         "4 - BHT04 - -/8: BHT04 \"20061303\" is not a valid date\n"
         "4 - BHT05 - -/9: BHT05 \"2460\" is not a valid time"},
        {claim, "SBR*P*18*******MC", "SBR*X*18*******MC",
         "15 2000B SBR01 - -/7: SBR01 \"X\" is not a code of this guide here; it takes P, S, T"},
        // The guide has no NM1*ZZ: the segment is taken where NM1 fits, and its qualifier named.
        {claim, "NM1*85", "NM1*ZZ",
         "10 2010AA NM101 - -/7: NM101 \"ZZ\" is not a code of this guide here; it takes 85"},
        // Each repetition is checked alone: only "3X" is not a code.
        {eligibility, "EB*1**1^33^35", "EB*1**1^3X^35",
         "27 2110D EB03 - -/7: EB03 \"3X\" is not a code of this guide here; it takes 1, 10, 11, "
         "12, 13, 14, 15, 16, …"},
        // EB03 repeats up to 99 times (here 93 and the sample's 7 more); an element the guide does
        // not let repeat occurs once.
        {eligibility, "EB*1**1^33^35", "EB*1**" + repeated("30", 93),
         "27 2110D EB03 - -/12: EB03 \"30^30^30^30^30^30^30^30^30^30^30^30^30^3…\" has too "
         "many repetitions: 100, at most 99"},
        {eligibility, "NM1*PR*2*ABC COMPANY", "NM1*PR*2*ABC^COMPANY",
         "6 2100A NM103 - -/12: NM103 \"ABC^COMPANY\" has too many repetitions: 2, at most 1"},
        {claim, "N3*156 ELM~\nN4*KALAMAZOO*MI*49001~\nDMG",
         "N3*156\x01"
         "ELM~\nN4*KALAMAZOO*MI*49001~\nDMG",
         "17 2010BA N301 - -/6: N301 \"156\x01"
         "ELM\" holds a control character"},
    });
}

TEST(X12GuideCheckTest, SyntaxRulesAndDates)
{
    const std::string address = "N4*GRANTS PASS*OR*975260000**CY*033";
    const std::string serviceDate = "DTP*472*D8*20040407~\nREF*6R*1057296~\nAMT";
    expectEach({
        {enrollment, "LUI*LE*ENG**7", "LUI**ENG**7",
         "21 2100A LUI01 P0102 -/2: LUI01 and LUI02 are used together: LUI01 is missing"},
        {listBill, "N1*PE*DEF HEALTHCARE CO*FI*998216353", "N1*PE",
         "8 1000A N102 R0203 -/2: At least one of N102 or N103 is required"},
        {enrollment, address, "N4*GRANTS PASS*OR*975260000***033",
         "18 2100A N405 C0605 -/2: N406 requires N405: N405 is missing"},
        {enrollment, address, "N4*GRANTS PASS*OR*975260000*CA*CY*033*ON",
         "18 2100A N407 E0207 -/10: Only one of N402 or N407 may be used"},
        {enrollment, "LUI*LE*ENG**5", "LUI****5",
         "22 2100A LUI02 L040203 -/2: LUI04 requires at least one of LUI02 or LUI03"},
        // DTP02 gives the format of DTP03.
        {claim, serviceDate, "DTP*472*D8*20061303~\nREF*6R*1057296~\nAMT",
         "39 2400 DTP03 - -/8: DTP03 \"20061303\" is not a date (CCYYMMDD), as DTP02 \"D8\" "
         "calls for"},
        {claim, serviceDate, "DTP*472*RD8*20040407~\nREF*6R*1057296~\nAMT",
         "39 2400 DTP03 - -/8: DTP03 \"20040407\" is not a range of dates (CCYYMMDD-CCYYMMDD), "
         "as DTP02 \"RD8\" calls for"},
        {claim, "CN1*05~\n", "DTP*439*DT*20040407~\nCN1*05~\n",
         "22 2300 DTP03 - -/8: DTP03 \"20040407\" is not a date and time (CCYYMMDDHHMM), as "
         "DTP02 \"DT\" calls for"},
    });
}

TEST(X12GuideCheckTest, Numbering)
{
    const std::string secondLine = "LX*2~\nSV1*HC:H2015:TT*21*UN*12***1~\nDTP*472*D8*20040414~\n"
                                   "REF*6R*1057297~\nLX";
    expectEach({
        {claim, "HL*2*1*22*0", "HL*3*1*22*0",
         "14 2000B HL01 - -/-: HL01 \"3\" is out of sequence: this is HL 2 of the set"},
        {claim, "HL*2*1*22*0", "HL*2*5*22*0",
         "14 2000B HL02 - -/-: HL02 \"5\" names no earlier HL of the set"},
        // Service lines count from 1 in each claim: the second claim's second line is LX*2.
        {claim, secondLine, "LX*3" + secondLine.substr(4),
         "57 2400 LX01 - -/-: LX01 \"3\" is out of sequence: the claim's service line 2"},
    });
}

} // namespace
