#include "core/dictionary/X12Dictionary.h"
#include "core/parse/X12Parser.h"

#include "core/TestSupport.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using namespace testing_support;

namespace {

TEST(X12TreeTest, LoopsAndEnvelopesNest)
{
    struct Case
    {
        const char *name;
        std::string text;
        std::string outline;
    };
    const Case cases[] = {
        // Each kind of loop and segment of an 837 once, in the order of the sample claims.
        {"ProfessionalClaimNestsByRank",
         "ST*837~BHT~NM1*41~PER~NM1*40~HL*1**20~NM1*85~N3~REF~HL*2*1*22~SBR~NM1*IL~NM1*PR~CLM~HI~"
         "LX~SV1~DTP~SE~",
         "ST\n"
         "  BHT\n"
         "  (NM1)\n"
         "    PER\n"
         "  (NM1)\n"
         "  (HL)\n"
         "    (NM1)\n"
         "      N3\n"
         "      REF\n"
         "    (HL)\n"
         "      SBR\n"
         "      (NM1)\n"
         "      (NM1)\n"
         "      (CLM)\n"
         "        HI\n"
         "        (LX)\n"
         "          (SV1)\n"
         "            DTP\n"
         "  SE\n"},
        // Equal ranks are siblings; unknown levels rank below every known one.
        {"HierarchicalLevels",
         "ST*837*1~HL*1**20~HL*2*1*22~HL*3*1*22~HL*4*3*19~HL*5*3~HL*6*3*23~HL*7**21~SE*9*1~",
         "ST\n"
         "  (HL)\n"
         "    (HL)\n"
         "    (HL)\n"
         "      (HL)\n"
         "      (HL)\n"
         "      (HL)\n"
         "    (HL)\n"
         "  SE\n"},
        // In an 835 HL starts no loop, and a patient's NM1 and a service line are siblings within
        // the claim; elsewhere TS3 and TS2 start none. An ST without a code uses the general ranks.
        {"RanksDependOnTheTransactionSet",
         "ST*835*1~N1*PR~N3*A~HL*1~LX*1~TS3*1~TS2*1~CLP*1~NM1*QC~AMT*AU~SVC*1~DTM*472~PLB*1~"
         "SE*1*1~ST*837*2~CLM*1~TS3*1~HL*1**20~SE*1*2~ST~HL*1**20~SE*2~",
         "ST\n"
         "  (N1)\n"
         "    N3\n"
         "    HL\n"
         "  (LX)\n"
         "    (TS3)\n"
         "    (TS2)\n"
         "      (CLP)\n"
         "        (NM1)\n"
         "          AMT\n"
         "        (SVC)\n"
         "          DTM\n"
         "          PLB\n"
         "  SE\n"
         "ST\n"
         "  (CLM)\n"
         "    TS3\n"
         "  (HL)\n"
         "  SE\n"
         "ST\n"
         "  (HL)\n"
         "  SE\n"},
        {"SegmentsOutsideEnvelopes", "NM1*85~N3*A~N4*B~NM1*87~N3*C~",
         "(NM1)\n"
         "  N3\n"
         "  N4\n"
         "(NM1)\n"
         "  N3\n"},
        {"HeadersWithoutTrailersAndTrailersWithoutHeaders",
         "ISA*1~GS*HC~ST*837~CLM*1~ISA*2~NM1*1~GE*1~SE*1~IEA*1~SE*2~GE*2~IEA*2~",
         "ISA\n"
         "  GS\n"
         "    ST\n"
         "      (CLM)\n"
         "ISA\n"
         "  (NM1)\n"
         "  GE\n"
         "  SE\n"
         "  IEA\n"
         "SE\n"
         "GE\n"
         "IEA\n"},
        {"SetsWithoutTrailersInAGroup", "GS*HC~ST*837~LX*1~ST*837~LX*2~SE*1~SE*2~GE*1~",
         "GS\n"
         "  ST\n"
         "    (LX)\n"
         "  ST\n"
         "    (LX)\n"
         "    SE\n"
         "  SE\n"
         "  GE\n"},
        // An acknowledgment between the interchange's header and its group.
        {"TA1BeforeTheGroup", readData("999-x12_999_accepted_ta1.txt"),
         "ISA\n"
         "  TA1\n"
         "  GS\n"
         "    ST\n"
         "      AK1\n"
         "      AK2\n"
         "      IK3\n"
         "      IK3\n"
         "      IK5\n"
         "      AK9\n"
         "      SE\n"
         "    GE\n"
         "  IEA\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        auto document = parseOk(c.text);
        ASSERT_TRUE(document);
        EXPECT_EQ(outline(*document), c.outline);
    }
}

TEST(X12TreeTest, NodeTextsAndKinds)
{
    auto document = parseOk("ISA*00~GS*HC~ST*837*1~ZZZ*1~NM1*85*2*ACME~SE*3*1~GE*1*1~IEA*1*1~");
    ASSERT_TRUE(document);
    using Kind = X12Node::Kind;
    const std::vector<std::tuple<std::string, std::string, Kind>> expected{
        {"Interchange", " \u2192  \u00B7  \u00B7  \u00B7 control ", Kind::interchange},
        {"Functional Group HC", "Health Care Claim (837) \u00B7  \u2192  \u00B7  \u00B7 ",
         Kind::functionalGroup},
        {"Transaction Set 837", "Health Care Claim", Kind::transaction},
        {"ZZZ \u2014 Segment ZZZ", "1", Kind::segment},
        {"Billing Provider: ACME", "", Kind::loop},
        {"SE \u2014 Transaction Set Trailer", "control 1", Kind::segment},
        {"GE \u2014 Functional Group Trailer", "control 1", Kind::segment},
        {"IEA \u2014 Interchange Control Trailer", "control 1", Kind::segment},
    };
    ASSERT_EQ(document->nodeCount(), expected.size());
    for (std::uint32_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(X12Dictionary::nodeTitle(*document, i), std::get<0>(expected[i]));
        EXPECT_EQ(X12Dictionary::nodeSubtitle(*document, i), std::get<1>(expected[i]));
        EXPECT_EQ(document->node(i).kind, std::get<2>(expected[i]));
    }
}

/// Every container's children, in node order.
std::vector<std::vector<std::uint32_t>> allChildren(const X12Document &document)
{
    std::vector<std::vector<std::uint32_t>> lists;
    for (std::uint32_t node = 0; node < document.nodeCount(); ++node) {
        const auto children = document.children(node);
        lists.emplace_back(children.begin(), children.end());
    }
    return lists;
}

TEST(X12TreeTest, ChildrenListedByTheFirstOfManyReaders)
{
    // The children are listed when first asked for: by whichever of several threads asking at
    // once gets there first, with the others waiting for the same lists.
    const std::string text = readData("mixed-mailbag-4-terminators.edi");
    const auto listed = parseOk(text);
    ASSERT_TRUE(listed);
    listed->listChildren();
    const auto expected = allChildren(*listed);
    for (int round = 0; round < 20; ++round) {
        const auto lazy = parseOk(text);
        std::vector<std::vector<std::vector<std::uint32_t>>> seen(4);
        {
            std::vector<std::jthread> readers;
            for (auto &lists : seen)
                readers.emplace_back([&lists, &lazy] { lists = allChildren(*lazy); });
        }
        for (const auto &lists : seen)
            ASSERT_EQ(lists, expected);
    }
}

TEST(X12TreeTest, EmptySegmentListGivesEmptyTree)
{
    const X12Tree tree = X12Parser::buildTree(X12SegmentList());
    EXPECT_EQ(tree.size(), 0u);
    EXPECT_TRUE(tree.children(X12Document::rootId()).empty());
}

} // namespace
