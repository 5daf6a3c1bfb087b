#include "core/output/X12Csv.h"

#include "core/TestSupport.h"
#include "fuzz/FuzzCheck.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace testing_support;

namespace {

std::string csv(const X12Document &document, X12Csv::Options options = {})
{
    std::string text;
    EXPECT_TRUE(X12Csv::write(document, appendingTo(text), options));
    return text;
}

using X12CsvTest = testing_support::UsLocaleTest;

TEST_F(X12CsvTest, WholeTable)
{
    auto document =
        parseOk("ST*837*1~DTP*472*D8*20240315~NM1*85*2*ACME, \"THE\" CLINIC~N3~N4*A\nB~SE*5*1~");
    ASSERT_TRUE(document);
    // A segment without elements is one row with empty element fields; the rows under a loop
    // carry its title in their path.
    const std::string provider =
        "\"Transaction Set 837 / Billing Provider: ACME, \"\"THE\"\" CLINIC\"";
    EXPECT_EQ(csv(*document),
              "Path,Position,Tag,Element,Name,Value,Text\r\n"
              ",1,ST,ST01,Transaction Set Identifier Code,837,837\r\n"
              ",1,ST,ST02,Transaction Set Control Number,1,1\r\n"
              "Transaction Set 837,2,DTP,DTP01,Date/Time Qualifier,472,Service Date\r\n"
              "Transaction Set 837,2,DTP,DTP02,Date Time Period Format Qualifier,D8,D8\r\n"
              "Transaction Set 837,2,DTP,DTP03,Date Time Period,20240315,03/15/2024\r\n"
              "Transaction Set 837,3,NM1,NM101,Entity Identifier Code,85,Billing Provider\r\n"
              "Transaction Set 837,3,NM1,NM102,Entity Type Qualifier,2,Non-Person Entity\r\n"
              "Transaction Set 837,3,NM1,NM103,Last Name or Organization,"
              "\"ACME, \"\"THE\"\" CLINIC\",\"ACME, \"\"THE\"\" CLINIC\"\r\n" +
                  provider + ",4,N3,,,,\r\n" + provider +
                  ",5,N4,N401,City,\"A\nB\",\"A\nB\"\r\n"
                  "Transaction Set 837,6,SE,SE01,Number of Included Segments,5,5\r\n"
                  "Transaction Set 837,6,SE,SE02,Transaction Set Control Number,1,1\r\n");
}

TEST_F(X12CsvTest, ValuesOverAMegabyteAreWrittenWhole)
{
    // A segment of more than a megabyte is written on the streamed path; its value, of commas and
    // quotes, is quoted whole. (No line breaks: they would make the lines segments. The fuzz
    // replay reads back every sample's CSV.)
    std::string huge;
    while (huge.size() < (1u << 20) + 64)
        huge += "a,\"b\"c\"";
    auto document = parseOk("ST*837*1~NM1*85*2*" + huge + "~SE~");
    ASSERT_TRUE(document);
    const auto records = fuzz::csvRecords(csv(*document));
    ASSERT_TRUE(records);
    ASSERT_EQ(records->size(), 7u); // the header, two elements, three, and SE's row
    EXPECT_EQ((*records)[5][5], huge);
    EXPECT_EQ((*records)[5][6], huge);
}

TEST_F(X12CsvTest, SpreadsheetOptions)
{
    struct Case
    {
        std::string value;
        std::string field; // Value and Text as the spreadsheet option writes them
    };
    const std::vector<Case> cases{
        {"-12.50", "-12.50"},
        {"+5", "+5"},
        {"=HYPERLINK(\"x\")", "\"'=HYPERLINK(\"\"x\"\")\""},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"-2+3", "'-2+3"},
        {"+", "'+"},
        {"\tX", "'\tX"},
        {"A=1", "A=1"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.value);
        auto document = parseOk("REF*ZZ*" + c.value + "~");
        ASSERT_TRUE(document);
        const std::string text = csv(*document, {.byteOrderMark = true, .guardFormulas = true});
        EXPECT_TRUE(text.starts_with("\xEF\xBB\xBF" + std::string(X12Csv::headerRow)));
        EXPECT_TRUE(text.ends_with("," + c.field + "," + c.field + "\r\n")) << text;
        // Without the option the value is exact.
        const auto plain = fuzz::csvRecords(csv(*document));
        ASSERT_TRUE(plain);
        EXPECT_EQ(plain->back()[5], c.value);
    }
}

} // namespace
