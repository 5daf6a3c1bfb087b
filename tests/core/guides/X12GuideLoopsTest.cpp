#include "core/search/SegmentFilter.h"
#include "core/guides/X12GuideLoops.h"
#include "core/output/X12Json.h"

#include "core/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace testing_support;

namespace {

/// Each segment's loop ID, "-" for none, separated by spaces; a run of one ID is written once,
/// with its length: "2300x2".
std::string loopIDs(const X12Document &document)
{
    std::vector<std::pair<std::string, int>> runs;
    const X12GuideLoops loops = X12GuideLoops::of(document);
    for (std::uint32_t i = 0; i < document.segments().size(); ++i) {
        const auto loop = loops.loopOf(i);
        const std::string id = loop ? std::string(loop->id) : "-";
        if (!runs.empty() && runs.back().first == id)
            ++runs.back().second;
        else
            runs.emplace_back(id, 1);
    }
    std::string ids;
    for (const auto &[id, count] : runs)
        ids += (ids.empty() ? "" : " ") + id + (count > 1 ? "x" + std::to_string(count) : "");
    return ids;
}

/// An 837I of the 005010X223A2 guide, written for these tests.
const std::string institutional =
    isaHeader() +
    "GS*HC*S1*R1*20240101*1200*1*X*005010X223A2~ST*837*0001*005010X223A2~"
    "BHT*0019*00*1*20240101*1200*CH~NM1*41*2*SUBMITTER*****46*S1~PER*IC*X*TE*5555555555~"
    "NM1*40*2*RECEIVER*****46*R1~HL*1**20*1~NM1*85*2*HOSPITAL*****XX*1234567893~N3*1 MAIN ST~"
    "N4*CITY*ST*12345~REF*EI*123456789~HL*2*1*22*0~SBR*P*18*******MC~"
    "NM1*IL*1*DOE*JANE****MI*123~NM1*PR*2*MEDICARE*****PI*00120~CLM*ABC*100***11:A:1**A*Y*Y~"
    "DTP*434*RD8*20240101-20240102~CL1*1*1*01~HI*ABK:R69~NM1*71*1*SMITH*JOHN****XX*1234567893~"
    "LX*1~SV2*0450*HC:99283*100*UN*1~DTP*472*D8*20240101~SE*23*0001~GE*1*1~IEA*1*000000001~";

/// A 270 of the 005010X279A1 guide, written for these tests.
const std::string inquiry = isaHeader() +
                            "GS*HS*S1*R1*20240101*1200*1*X*005010X279A1~ST*270*0001*005010X279A1~"
                            "BHT*0022*13*10001234*20240101*1319~HL*1**20*1~"
                            "NM1*PR*2*PAYER*****PI*12345~HL*2*1*21*1~"
                            "NM1*1P*2*PROVIDER*****XX*1234567893~HL*3*2*22*0~"
                            "TRN*1*93175-012547*9877281234~NM1*IL*1*DOE*JOHN****MI*11122333301~"
                            "DMG*D8*19800519~DTP*291*D8*20240101~EQ*30~SE*13*0001~GE*1*1~"
                            "IEA*1*000000001~";

/// The 277 of 005010X212 in the test data answers for eight claims, each the same way.
const std::string claimStatus = [] {
    std::string loops = "-x4";
    for (int claim = 0; claim < 8; ++claim)
        loops += " 2000A 2100A 2000B 2100B 2000C 2100C 2000D 2100D 2200Dx5";
    return loops + " -x3";
}();

struct Sample
{
    std::string file; // in the test data; empty for `text`
    std::string text;
    std::string loops; // every segment's loop ID, as loopIDs gives them
};

// Real files of each guide. The sequences were checked by hand against the guides' loop layouts
// and agree with the walk of an independent script over the same table.
const Sample samples[] = {
    {"837p-x12_valid.txt", "",
     "-x4 1000Ax2 1000B 2000A 2010AAx6 2010ABx3 2000Bx2 2010BA 2010BB 2300x2 2400x3 2000Bx2 2010BA "
     "2010BB 2300x2 2400x3 -x3"},
    {"837p-X222-oxygen.edi", "",
     "-x4 1000Ax2 1000B 2000A 2010AAx4 2000Bx2 2010BAx4 2010BB 2300x2 2400x8 2420Ex5 2440x10 "
     "2400x8 2420Ex5 2440x10 -x3"},
    {"", institutional,
     "-x4 1000Ax2 1000B 2000A 2010AAx4 2000Bx2 2010BA 2010BB 2300x4 2310A 2400x3 -x3"},
    {"837d-claim-from-billing-provider-to-payer-a.edi", "",
     "-x4 1000Ax2 1000B 2000A 2010AAx4 2000Bx2 2010BA 2010BB 2000Cx2 2010CAx4 2300x3 2310Bx2 "
     "2400x3 -x3"},
    {"835-medicare-part-a.835", "", "-x6 1000Ax4 1000B 2000x3 2100x7 2000x2 2100x5 -x4"},
    {"834-834_ls_le_ls.txt", "",
     "-x5 1000A 1000B 2000x7 2100Ax8 2100Bx2 2100Cx3 2100Gx2 2300x3 2320x2 2000 2700 2750x2 2700 "
     "2750x2 2700 2750x2 2700 2750x2 2700 2750x2 2700 2750x2 2700 2750x2 2700 2750x2 2700 2750x2 "
     "2700 2750x2 2700 2750x2 2700 2750x2 2700 2750x2 2000 -x3"},
    {"", inquiry, "-x4 2000A 2100A 2000B 2100B 2000Cx2 2100Cx3 2110C -x3"},
    {"271-dependent-health-benefit-check.271", "",
     "-x4 2000A 2100A 2000B 2100B 2000C 2100Cx4 2000Dx2 2100Dx6 2110Dx3 2120D 2110Dx4 -x3"},
    {"276-claim-level-status.276", "",
     "-x4 2000A 2100A 2000B 2100B 2000C 2100C 2000Dx2 2100D 2200Dx5 2000Dx2 2100D 2200Dx5 2000C "
     "2100C 2000D 2100D 2000Ex2 2100E 2200Ex2 2210Ex2 -x3"},
    {"277-x12_277_x212.txt", "", claimStatus},
    {"277ca-x12_277CA_rejected.txt", "",
     "-x4 2000A 2100A 2200Ax3 2000B 2100B 2200Bx4 2000C 2100C 2200C 2000D 2100D 2200Dx5 -x3"},
    {"820-list-bill.edi", "",
     "-x7 1000A 1000B 2000B 2100B 2300B 2000B 2100B 2300B 2320B 2000B 2100B 2300B 2320B -x3"},
    {"999-x12_999_accepted_ta1.txt", "", "-x5 2000 2100x2 2000 -x4"},
    // A 4010 guide, named by GS08 alone.
    {"837i-homeowners.837", "",
     "-x5 1000Ax2 1000B 2000Ax2 2010AAx4 2000Bx2 2010BAx3 2010BC 2000Cx2 2010CAx5 2300x4 2310Ax2 "
     "2310C 2400x9 -x3"},
};

TEST(X12GuideLoopsTest, PlacesEverySegmentOfRealSamples)
{
    for (const Sample &sample : samples) {
        SCOPED_TRACE(sample.file);
        auto document = parseOk(sample.file.empty() ? sample.text : readData(sample.file));
        ASSERT_TRUE(document);
        EXPECT_EQ(loopIDs(*document), sample.loops);
    }
}

TEST(X12GuideLoopsTest, ChoosesTheGuideBySetAndVersion)
{
    const std::string body = "HL*1**20*1~NM1*85*2*X~HL*2*1*22*0~NM1*IL*1*Y~CLM*1*5~SE*7*1~";
    struct Case
    {
        std::string group;       // GS08
        std::string transaction; // ST01 and ST03
        const char *loops;       // GS and ST are at no loop's level
    };
    const Case cases[] = {
        {"005010X222A1", "837*1*005010X222A1", "-x3 2000A 2010AA 2000B 2010BA 2300 -"},
        // ST03 wins over GS08; without addenda a version still names its guide.
        {"005010X279A1", "837*1*005010X222", "-x3 2000A 2010AA 2000B 2010BA 2300 -"},
        {"005010X222A1", "837*1", "-x3 2000A 2010AA 2000B 2010BA 2300 -"},
        // A version that names no guide gives way to the group's.
        {"005010X222A1", "837*1*005010X999", "-x3 2000A 2010AA 2000B 2010BA 2300 -"},
        // An unknown version, or a set the guide is not for, places nothing.
        {"004010X999", "837*1*005010X999", "-x9"},
        {"005010X222A1", "850*1", "-x9"},
        {"", "837*1", "-x9"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.transaction + " in " + c.group);
        auto document =
            parseOk("GS*HC*A*B*1*1*1*X*" + c.group + "~ST*" + c.transaction + "~BHT*0019~" + body);
        ASSERT_TRUE(document);
        EXPECT_EQ(loopIDs(*document), c.loops);
    }

    // Requests and responses of the 4010 278 share a version: BHT02 tells them apart.
    for (const auto &[purpose, name] :
         {std::pair("13", "Utilization Management Organizational (UMO) Name"),
          std::pair("11", "Utilization Management Organization (UMO) Name")}) {
        auto document = parseOk(std::string("GS*HI*A*B*1*1*1*X*004010X094A1~ST*278*1~BHT*0078*") +
                                purpose + "~HL*1**20*1~NM1*X3*2*UMO~SE*5*1~");
        ASSERT_TRUE(document);
        EXPECT_EQ(X12GuideLoops::of(*document).loopOf(4), (X12GuideLoop{"2010A", name}));
    }
}

TEST(X12GuideLoopsTest, WalksOddSetsWithoutHarm)
{
    struct Case
    {
        const char *text;
        const char *loops;
    };
    const Case cases[] = {
        // A segment the guide does not have stays in the open loop and closes nothing.
        {"ST*837*1*005010X222A1~HL*1**20*1~NM1*85*2*X~ZZZ*1~N3*A~SE*5*1~", "- 2000A 2010AAx3 -"},
        // A loop begun again closes the first, and what was open in it: N3 no longer fits.
        {"ST*837*1*005010X222A1~HL*1**20*1~NM1*85*2*X~HL*2**20*1~N3*A~SE*5*1~",
         "- 2000A 2010AA 2000Ax2 -"},
        // A set without SE ends at the next ST, which starts over. A qualifier the guide does
        // not list there (NM1*85 where it takes NM1*41) is taken where the tag fits.
        {"ST*837*1*005010X222A1~HL*1**20*1~ST*837*2*005010X222A1~NM1*85*2*X~HL*1**20*1~",
         "- 2000A - 1000A 2000A"},
        // Segments outside every set, and a set with nothing but its envelope.
        {"HL*1**20*1~ST*837*1*005010X222A1~SE*2*1~", "-x3"},
        // The composite's first component begins a payment's service line (SVC01-1); one the
        // guide does not list begins it too, and the check reports the code.
        {"ST*835*1*005010X221A1~LX*1~CLP*A*1~SVC*HC:99213*10~SVC*ZZ:1*10~SE*6*1~",
         "- 2000 2100 2110x2 -"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        auto document = parseOk(c.text);
        ASSERT_TRUE(document);
        EXPECT_EQ(loopIDs(*document), c.loops);
    }
}

TEST(X12GuideLoopsTest, JsonGivesSegmentsTheirLoopAndNodesTheLoopTheyBegin)
{
    auto document =
        parseOk("ST*837*1*005010X222A1~HL*1**20*1~NM1*85*2*X~N3*A~SE*5*1~HL*1**20*1~", "g.x12");
    ASSERT_TRUE(document);
    const std::string text = jsonOf(*document);
    const std::string billing = "\"loop\":{\"id\":\"2010AA\",\"name\":\"Billing Provider Name\"}}";
    constexpr auto none = std::string::npos;
    // A segment's loop follows its elements: NM1 begins 2010AA, and N3 is in it.
    EXPECT_NE(text.find("\"value\":\"X\"}]," + billing + ",\n{\"position\":4"), none);
    EXPECT_NE(text.find("\"value\":\"A\"}]," + billing + ",\n{\"position\":5"), none);
    // A node's follows its children, and only a node that begins the loop has it: NM1, not N3.
    EXPECT_NE(text.find("\"position\":4,\"children\":[]}]," + billing), none);
    EXPECT_NE(text.find("\"children\":[{\"kind\":\"loop\""), none);
    // ST, SE and the HL after the set have none (a finding names its loop by ID alone).
    std::size_t loopsInText = 0;
    for (std::size_t at = text.find("\"loop\":{"); at != none; at = text.find("\"loop\":{", at + 1))
        ++loopsInText;
    EXPECT_EQ(loopsInText, 5u); // HL, NM1 and N3 in the segments, HL and NM1 as nodes
}

TEST(X12GuideLoopsTest, SearchFindsLoopIDs)
{
    auto document = parseOk(readData("837p-x12_valid.txt"));
    ASSERT_TRUE(document);
    // The claims' loop: each CLM and HI. Case does not matter.
    EXPECT_EQ(SegmentFilter::matches(*document, X12GuideLoops::of(*document), "2300"),
              (std::vector<std::uint32_t>{21, 22, 30, 31}));
    EXPECT_EQ(SegmentFilter::matches(*document, X12GuideLoops::of(*document), " 2010ba "),
              (std::vector<std::uint32_t>{19, 28}));
    // A loop ID found in the text too is listed once.
    auto both =
        parseOk("ST*837*1*005010X222A1~HL*1**20*1~NM1*85*2*X~N3*2010AA~SE*4*1~N3*2010AA~", "b.x12");
    ASSERT_TRUE(both);
    EXPECT_EQ(SegmentFilter::matches(*both, X12GuideLoops::of(*both), "2010aa"),
              (std::vector<std::uint32_t>{2, 3, 5}));
}

} // namespace
