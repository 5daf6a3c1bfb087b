#include "core/output/X12Csv.h"

#include "core/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace testing_support;

namespace {

using Rows = std::vector<std::vector<std::string>>;

std::string csv(const X12Document &document, X12Csv::Options options = {})
{
    std::string text;
    const bool ok = X12Csv::write(
        document,
        [&text](std::string_view piece) {
            text.append(piece);
            return true;
        },
        options);
    EXPECT_TRUE(ok);
    return text;
}

/// A strict RFC 4180 reader: every record ends with CRLF, and a quote inside a field is only
/// allowed doubled within a quoted field. Fails the test on anything else.
Rows readCsv(std::string_view text)
{
    Rows rows(1, std::vector<std::string>(1));
    std::size_t i = 0;
    while (i < text.size()) {
        std::string &field = rows.back().back();
        if (text[i] == '"' && field.empty()) {
            for (++i;; ++i) {
                if (i >= text.size()) {
                    ADD_FAILURE() << "unterminated quoted field";
                    return rows;
                }
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"')
                        ++i;
                    else
                        break;
                }
                field += text[i];
            }
            ++i;
        }
        if (i >= text.size())
            break;
        if (text[i] == ',') {
            rows.back().emplace_back();
            ++i;
        } else if (text.substr(i, 2) == "\r\n") {
            i += 2;
            if (i < text.size())
                rows.push_back(std::vector<std::string>(1));
        } else if (text[i] == '"' || text[i] == '\r' || text[i] == '\n') {
            ADD_FAILURE() << "unquoted special character at byte " << i;
            return rows;
        } else {
            field += text[i++];
        }
    }
    EXPECT_TRUE(text.ends_with("\r\n"));
    return rows;
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

TEST_F(X12CsvTest, ReadsBackWhatTheDocumentHolds)
{
    // A value over a megabyte, holding every special character, goes through the streamed path.
    std::string huge;
    while (huge.size() < (1u << 20) + 64)
        huge += "a,\"b\"\r\nc\"";
    std::vector<std::shared_ptr<const X12Document>> documents{
        parseOk(readData("837p-x12_valid.txt")),
        parseOk(readData("mixed-278-837-835-mult_isa.txt")),
        parseOk(readData("000-simple_with_binary_segment.edi")),
        parseOk("ST*837*1~NM1*85*2*" + huge + "~SE~")};
    for (const auto &document : documents) {
        ASSERT_TRUE(document);
        SCOPED_TRACE(document->fileName());
        const Rows rows = readCsv(csv(*document));
        ASSERT_FALSE(rows.empty());
        EXPECT_EQ(rows.front(), (std::vector<std::string>{"Path", "Position", "Tag", "Element",
                                                          "Name", "Value", "Text"}));
        std::size_t row = 1;
        for (const X12Segment segment : document->segments()) {
            for (std::size_t i = 0; i < std::max<std::size_t>(segment.elementCount(), 1); ++i) {
                ASSERT_LT(row, rows.size());
                const std::vector<std::string> &fields = rows[row++];
                ASSERT_EQ(fields.size(), 7u);
                EXPECT_EQ(fields[1], std::to_string(segment.position()));
                EXPECT_EQ(fields[2], segment.tag());
                EXPECT_EQ(fields[5], segment.elementCount() == 0 ? "" : segment.element(i));
            }
        }
        EXPECT_EQ(row, rows.size());
    }
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
        EXPECT_EQ(readCsv(csv(*document)).back()[5], c.value);
    }
}

} // namespace
