#include "core/output/ReportLines.h"

#include "core/TestSupport.h"
#include "core/guides/X12GuideLoops.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace testing_support;
using ReportLines::Line;
using ReportLines::Mark;
using ReportLines::Style;

namespace {

using ReportLinesTest = testing_support::UsLocaleTest;

/// Every line of the report, findings first, as the PDF gets them.
std::vector<Line> reportLines(const X12Document &document)
{
    const X12GuideLoops checked = X12GuideLoops::checked(document);
    ReportLines::LineCursor cursor(document, checked.findings());
    std::vector<Line> lines;
    for (Line line; cursor.next(line);)
        lines.push_back(line);
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

TEST_F(ReportLinesTest, FindingsThenNodeLinesAndIndents)
{
    // The findings in the order --check lists them, the envelope's first; in the tree, the title
    // of each segment they concern, and the lines of the elements the guide's name, take the mark
    // of the worst.
    auto document = parseOk("ST*837*0001*005010X222A1~NM1*85*2*ACME~N3~SE*2*0001~ZZ~");
    ASSERT_TRUE(document);
    const Mark error = Mark::error;
    const std::vector<Line> expected{
        {"Findings", 0, Style::title},
        {"9 errors, 0 warnings", 1, Style::note},
        {"Segment 4 (SE) \u2014 error: SE01 says 2 segments; the transaction set (ST to SE) has 4",
         1, Style::finding, error},
        {"Segment 2 (NM1) \u2014 error: Required segment BHT (Beginning of Hierarchical "
         "Transaction) is missing from the transaction set",
         1, Style::finding, error},
        {"Segment 2 (NM1) \u00B7 loop 1000A \u2014 error: NM101 \"85\" is not a code "
         "of this guide here; it takes 41",
         1, Style::finding, error},
        {"Segment 2 (NM1) \u00B7 loop 1000A \u2014 error: NM108 (Identification Code "
         "Qualifier) is required by this guide and is empty",
         1, Style::finding, error},
        {"Segment 2 (NM1) \u00B7 loop 1000A \u2014 error: NM109 (Identification Code) "
         "is required by this guide and is empty",
         1, Style::finding, error},
        {"Segment 3 (N3) \u00B7 loop 1000A \u2014 error: N3 is not expected here in loop 1000A", 1,
         Style::finding, error},
        {"Segment 4 (SE) \u00B7 loop 1000A \u2014 error: Required segment PER (Administrative "
         "Contact) is missing from loop 1000A",
         1, Style::finding, error},
        {"Segment 4 (SE) \u2014 error: Required loop 1000B (Receiver Name) is missing from the "
         "transaction set",
         1, Style::finding, error},
        {"Segment 4 (SE) \u2014 error: Required loop 2000A (Billing Provider Hierarchical Level) "
         "is missing from the transaction set",
         1, Style::finding, error},
        {"Transaction Set 837", 0, Style::header},
        {"Health Care Claim", 1, Style::note},
        {"ST01  Transaction Set Identifier Code: 837", 1, Style::element},
        {"ST02  Transaction Set Control Number: 0001", 1, Style::element},
        {"ST03  Implementation Convention Reference: 005010X222A1", 1, Style::element},
        {"ST*837*0001*005010X222A1", 1, Style::segment},
        {"Billing Provider: ACME", 1, Style::loop, error},
        {"NM101  Entity Identifier Code: 85 \u2014 Billing Provider", 2, Style::element, error},
        {"NM102  Entity Type Qualifier: 2 \u2014 Non-Person Entity", 2, Style::element},
        {"NM103  Last Name or Organization: ACME", 2, Style::element},
        {"NM1*85*2*ACME", 2, Style::segment},
        {"N3 \u2014 Party Address", 2, Style::element, error},
        {"N3", 3, Style::segment},
        {"SE \u2014 Transaction Set Trailer", 1, Style::element, error},
        {"control 0001", 2, Style::note},
        {"SE01  Number of Included Segments: 2", 2, Style::element},
        {"SE02  Transaction Set Control Number: 0001", 2, Style::element},
        {"SE*2*0001", 2, Style::segment},
        {"ZZ \u2014 Segment ZZ", 0, Style::element},
        {"ZZ", 1, Style::segment},
    };
    EXPECT_EQ(reportLines(*document), expected);

    // Without findings the section is one line; thousands are grouped in the counts.
    auto clean = parseOk("ST*837*1~SE*2*1~");
    ASSERT_TRUE(clean);
    const std::vector<Line> lines = reportLines(*clean);
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[0], (Line{"No findings", 0, Style::title}));
    EXPECT_EQ(lines[1], (Line{"Transaction Set 837", 0, Style::header}));
    EXPECT_EQ(ReportLines::grouped(1234567), "1,234,567");
}

} // namespace
