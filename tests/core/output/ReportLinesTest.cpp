#include "core/output/ReportLines.h"

#include "core/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace testing_support;
using ReportLines::Line;
using ReportLines::Style;

namespace {

using ReportLinesTest = testing_support::UsLocaleTest;

std::vector<Line> allLines(const X12Document &document)
{
    std::vector<Line> lines;
    for (std::uint32_t root : document.rootNodes())
        ReportLines::appendLines(document, root, 0, lines);
    return lines;
}

TEST_F(ReportLinesTest, ElementLines)
{
    auto document =
        parseOk("NM1*85*2*ACME*****XX*123~DTP*472*D8*20240315~CLM*A1*150***11:B:1~" + isaHeader());
    ASSERT_TRUE(document);
    using V = std::vector<std::string>;
    EXPECT_EQ(ReportLines::elementLines(document->segment(0)),
              (V{"NM101  Entity Identifier Code: 85 \u2014 Billing Provider",
                 "NM102  Entity Type Qualifier: 2 \u2014 Non-Person Entity",
                 "NM103  Last Name or Organization: ACME",
                 "NM108  Identification Code Qualifier: XX \u2014 NPI",
                 "NM109  Identification Code: 123"}));
    EXPECT_EQ(ReportLines::elementLines(document->segment(1)),
              (V{"DTP01  Date/Time Qualifier: 472 \u2014 Service Date",
                 "DTP02  Date Time Period Format Qualifier: D8",
                 "DTP03  Date Time Period: 03/15/2024  [20240315]"}));
    EXPECT_EQ(
        ReportLines::elementLines(document->segment(2)),
        (V{"CLM01  Patient Control Number: A1", "CLM02  Total Claim Charge Amount: $150.00  [150]",
           "CLM05  Place of Service / Facility Code: 11:B:1"}));
    const V isa = ReportLines::elementLines(document->segment(3));
    ASSERT_EQ(isa.size(), 16u); // blank elements are not empty
    EXPECT_EQ(isa.front(), "ISA01  Authorization Info Qualifier: 00");
    EXPECT_EQ(isa[1], "ISA02  Authorization Information:           ");
    EXPECT_EQ(isa.back(), "ISA16  Component Separator: :");
}

TEST_F(ReportLinesTest, NodeLinesAndIndents)
{
    auto document = parseOk("ST*837*1~NM1*85*2*ACME~N3~SE*2*1~ZZ~");
    ASSERT_TRUE(document);
    const std::vector<Line> expected{
        {"Transaction Set 837", 0, Style::header},
        {"Health Care Claim", 1, Style::note},
        {"ST01  Transaction Set Identifier Code: 837", 1, Style::element},
        {"ST02  Transaction Set Control Number: 1", 1, Style::element},
        {"ST*837*1", 1, Style::segment},
        {"Billing Provider: ACME", 1, Style::loop},
        {"NM101  Entity Identifier Code: 85 \u2014 Billing Provider", 2, Style::element},
        {"NM102  Entity Type Qualifier: 2 \u2014 Non-Person Entity", 2, Style::element},
        {"NM103  Last Name or Organization: ACME", 2, Style::element},
        {"NM1*85*2*ACME", 2, Style::segment},
        {"N3 \u2014 Party Address", 2, Style::element},
        {"N3", 3, Style::segment},
        {"SE \u2014 Transaction Set Trailer", 1, Style::element},
        {"control 1", 2, Style::note},
        {"SE01  Number of Included Segments: 2", 2, Style::element},
        {"SE02  Transaction Set Control Number: 1", 2, Style::element},
        {"SE*2*1", 2, Style::segment},
        {"ZZ \u2014 Segment ZZ", 0, Style::element},
        {"ZZ", 1, Style::segment},
    };
    EXPECT_EQ(allLines(*document), expected);
}

} // namespace
