#include "core/output/X12Ack999.h"

#include "core/TestSupport.h"
#include "core/guides/X12GuideLoops.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace testing_support;

namespace {

struct AckCase
{
    std::string name;
    std::vector<std::pair<std::string, std::string>> edits; // each replaces its first match
    std::string expected;
};

/// The oxygen claim one segment a line, with PWK02 "EL", a code the guide lists, where the sample
/// has "AD": no findings.
std::string cleanClaim()
{
    std::string text;
    for (const char c : readData("837p-X222-oxygen.edi")) {
        text += c;
        if (c == '~')
            text += '\n';
    }
    for (std::size_t at; (at = text.find("PWK*CT*AD")) != std::string::npos;)
        text.replace(at, 9, "PWK*CT*EL");
    return text;
}

const std::string isa = "ISA*00*          *00*          *ZZ*123456789012346*ZZ*123456789012345*"
                        "240501*0930*>*00501*000000007*0*T*:~\n";
const std::string group = isa + "GS*FA*9876543210*1234567890*20240501*0930*7*X*005010X231A1~\n"
                                "ST*999*0001*005010X231A1~\n";
const std::string head = group + "AK1*HC*20213*005010X222A1~\nAK2*837*0001*005010X222A1~\n";
const std::string tail = "GE*1*7~\nIEA*1*000000007~\n";

const AckCase cases[] = {
    {"Clean", {}, head + "IK5*A~\nAK9*A*1*1*1~\nSE*6*0001~\n" + tail},
    // A required segment missing is named by its tag at the next segment's place; an element
    // finding gets an IK3 with code 8 for its segment.
    {"SegmentAndElementFindings",
     {{"N4*RICHMOND*IN*46224~\n", ""}, {"PWK*CT*EL", "PWK*CT*AD"}, {"SE*66", "SE*65"}},
     head +
         "IK3*N4*9*2010*3~\nIK3*PWK*21*2400*8~\nIK4*2**7*AD~\nIK5*R*5~\nAK9*R*1*1*0~\n"
         "SE*9*0001~\n" +
         tail},
    {"SetTrailerFindings",
     {{"SE*66*0001", "SE*67*0002"}},
     head + "IK5*R*3*4~\nAK9*R*1*1*0~\nSE*6*0001~\n" + tail},
    {"GroupTrailerFindings",
     {{"GE*1*20213", "GE*2*20213"}},
     head + "IK5*A~\nAK9*R*2*1*1*5~\nSE*6*0001~\n" + tail},
    // The TA1 quotes the interchange's own ISA13, date and time.
    {"BrokenInterchangeGetsATA1",
     {{"IEA*1*000010216~\n", ""}},
     isa + "TA1*000010216*061015*1705*R*023~\nIEA*0*000000007~\n"},
    // A 5010 ISA11 is the repetition separator, which has no note code of its own.
    {"RepetitionSeparatorMissing",
     {{"*>*00501*", "**00501*"}},
     "ISA*00*          *00*          *ZZ*123456789012346*ZZ*123456789012345*240501*0930*^*"
     "00501*000000007*0*T*:~\nTA1*000010216*061015*1705*R*022~\nIEA*0*000000007~\n"},
    // A health-care set whose guide Kelvane does not know was never checked: it is not
    // accepted. A supply-chain set without a guide is.
    {"UnknownHealthCareGuideIsNotAccepted",
     {{"005010X222A1", "005010X999A1"}, {"005010X222A1", "005010X999A1"}},
     group +
         "AK1*HC*20213*005010X999A1~\nAK2*837*0001*005010X999A1~\nIK5*R*I6~\n"
         "AK9*R*1*1*0~\nSE*6*0001~\n" +
         tail},
    {"SupplyChainSetWithoutAGuide",
     {{"*005010X222A1", "*004010"}, {"ST*837*0001*005010X222A1", "ST*850*0001*004010"}},
     group + "AK1*HC*20213*004010~\nAK2*850*0001*004010~\nIK5*A~\nAK9*A*1*1*1~\nSE*6*0001~\n" +
         tail},
    // Control numbers that cannot be echoed are named 0 and 0000, and rejected.
    {"MissingControlNumbers",
     {{"*1705*20213*", "*1705**"},
      {"GE*1*20213", "GE*1*"},
      {"ST*837*0001", "ST*837*"},
      {"SE*66*0001", "SE*66*"}},
     group +
         "AK1*HC*0*005010X222A1~\nAK2*837*0000*005010X222A1~\nIK3*ST*1**8~\nIK4*2**1~\n"
         "IK3*SE*66**8~\nIK4*2**1~\nIK5*R*7*5~\nAK9*R*1*1*0*6~\nSE*10*0001~\n" +
         tail},
};

TEST(X12Ack999Test, WritesTheWholeAcknowledgment)
{
    for (const AckCase &c : cases) {
        SCOPED_TRACE(c.name);
        std::string text = cleanClaim();
        for (const auto &[from, to] : c.edits) {
            const std::size_t at = text.find(from);
            ASSERT_NE(at, std::string::npos) << from;
            text.replace(at, from.size(), to);
        }
        const auto document = parseOk(text);
        ASSERT_TRUE(document);
        const X12GuideLoops loops = X12GuideLoops::checked(*document);
        std::string out;
        EXPECT_EQ(X12Ack999::write(*document, loops, {"20240501", "0930", 7}, appendingTo(out)),
                  1u);
        EXPECT_EQ(out, c.expected);
    }
}

} // namespace
