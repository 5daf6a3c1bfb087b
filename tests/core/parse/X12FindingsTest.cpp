#include "core/TestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

/// "position severity: message" per finding.
std::vector<std::string> check(std::string text)
{
    auto document = parseOk(std::move(text));
    std::vector<std::string> lines;
    if (!document)
        return lines;
    for (std::size_t i = 0; i < document->findingCount(); ++i) {
        const X12Finding f = document->finding(i);
        EXPECT_EQ(document->findingSegment(i) + 1, f.position);
        EXPECT_EQ(document->findingSeverity(i), f.severity);
        lines.push_back(std::to_string(f.position) + " " + std::string(toString(f.severity)) +
                        ": " + f.message);
    }
    return lines;
}

std::string sound()
{
    return isaHeader() + "GS*HC*S*R*20240315*1230*7*X*005010~ST*837*0001~BHT*1~SE*3*0001~"
                         "ST*837*0002~SE*2*0002~GE*2*7~IEA*1*000000001~";
}

std::string replaced(std::string text, const std::string &from, const std::string &to)
{
    text.replace(text.find(from), from.size(), to);
    return text;
}

TEST(X12FindingsTest, SoundEnvelopesHaveNoFindings)
{
    EXPECT_TRUE(check(sound()).empty());
    EXPECT_TRUE(check(readData("999-x12_999_accepted_ta1.txt")).empty());
    EXPECT_TRUE(check("NM1*85~N3*A~").empty()); // no envelopes at all
}

TEST(X12FindingsTest, ControlNumbersAndCounts)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(check(replaced(sound(), "IEA*1*000000001", "IEA*1*000000002")),
              V{"9 error: IEA02 000000002 does not match ISA13 000000001"});
    EXPECT_EQ(check(replaced(sound(), "IEA*1*", "IEA*2*")),
              V{"9 error: IEA01 says 2 functional groups; the interchange has 1"});
    EXPECT_EQ(check(replaced(sound(), "GE*2*7", "GE*2*8")),
              V{"8 error: GE02 8 does not match GS06 7"});
    EXPECT_EQ(check(replaced(sound(), "GE*2*7", "GE*1*7")),
              V{"8 error: GE01 says 1 transaction set; the group has 2"});
    // GS06 is what a 999 names the group by.
    EXPECT_EQ(check(replaced(replaced(sound(), "*1230*7*", "*1230*7A*"), "GE*2*7", "GE*2*7A")),
              V{"2 error: GS06 \"7A\" is not a number of 1 to 9 digits"});
    EXPECT_EQ(check(replaced(sound(), "SE*3*0001", "SE*3*0009")),
              V{"5 error: SE02 0009 does not match ST02 0001"});
    EXPECT_EQ(check(replaced(sound(), "SE*3*0001", "SE*4*0001")),
              V{"5 error: SE01 says 4 segments; the transaction set (ST to SE) has 3"});
    EXPECT_EQ(check(replaced(sound(), "SE*3*0001", "SE*x*0001")),
              V{"5 error: SE01 says \"x\"; the transaction set (ST to SE) has 3"});
}

TEST(X12FindingsTest, Structure)
{
    using V = std::vector<std::string>;
    // A header closed by another header, or by the end of the file.
    EXPECT_EQ(check(replaced(sound(), "SE*3*0001~", "")),
              V{"3 error: ST02 0001 has no SE: the set ends at the next ST"});
    EXPECT_EQ(check(readData("837p-fail_no_IEA.txt")),
              (V{"1 error: ISA13 000010121 has no IEA: the interchange ends at the end of the file",
                 "4 error: SE01 says 0 segments; the transaction set (ST to SE) has 2"}));
    // Trailers without headers, and segments outside the interchange of a file that has one.
    EXPECT_EQ(check("SE*1*1~GE*1*1~" + sound() + "N3*A~N4*B~IEA*1*1~"),
              (V{"1 error: SE without ST", "1 warning: 2 segments outside any interchange",
                 "2 error: GE without GS", "12 warning: 2 segments outside any interchange",
                 "14 error: IEA without ISA"}));
    // The fixed-width header: written in lower case, a short one is still read as a header.
    EXPECT_EQ(check(replaced(replaced(sound(), "RECEIVER       *", "RECEIVER*"), "ISA*", "isa*")),
              V{"1 error: ISA is 99 characters long, not 106"});
    EXPECT_EQ(check(replaced(sound(), "*P*:~", "**::~")),
              V{"1 error: ISA16 \"::\" is not a single character"});
}

TEST(X12FindingsTest, TransactionSetsBelongToGroups)
{
    using V = std::vector<std::string>;
    const std::string group2 = "GS*HC*S*R*20240315*1230*8*X*005010~ST*837*0001~SE*2*0001~GE*1*8~";
    struct Case
    {
        const char *name;
        std::string text;
        V findings;
    };
    const std::vector<Case> cases{
        {"StRightAfterIsa", isaHeader() + "ST*837*0001~SE*2*0001~IEA*0*000000001~",
         V{"2 error: ST without GS"}},
        {"StAfterGe",
         isaHeader() + "GS*HC*S*R*20240315*1230*7*X*005010~ST*837*0001~SE*2*0001~GE*1*7~"
                       "ST*837*0002~SE*2*0002~IEA*1*000000001~",
         V{"6 error: ST without GS"}},
        // A run of segments outside the group's sets is one finding.
        {"BetweenGsAndSt", replaced(sound(), "ST*837*0001~", "REF*1~REF*2~ST*837*0001~"),
         V{"3 error: 2 segments in the group outside any transaction set"}},
        {"BetweenSeAndStOrGe",
         replaced(replaced(sound(), "SE*3*0001~", "SE*3*0001~N3*A~"), "SE*2*0002~",
                  "SE*2*0002~N3*A~N4*B~"),
         V{"6 error: 1 segment in the group outside any transaction set",
           "9 error: 2 segments in the group outside any transaction set"}},
        // Only within one group; the walk's own finding on the same set comes first.
        {"RepeatedControlNumber",
         replaced(replaced(sound(), "ST*837*0002~SE*2*0002~", "ST*837*0001~"), "GE*2*7~IEA*1*",
                  "GE*2*7~" + group2 + "IEA*2*"),
         V{"6 error: ST02 0001 has no SE: the set ends at GE",
           "6 warning: ST02 0001 is already used in the group"}},
        // An empty number is not also compared with the other one.
        {"EmptyControlNumbers",
         replaced(replaced(sound(), "ST*837*0001~", "ST*837~"), "SE*2*0002~", "SE*2~"),
         V{"3 error: ST02 is empty", "7 error: SE02 is empty"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(check(c.text), c.findings);
    }
}

} // namespace
