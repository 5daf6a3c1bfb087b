#include "core/output/X12Json.h"

#include "core/TestSupport.h"
#include "fuzz/FuzzCheck.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string_view>

using namespace testing_support;

namespace {

using X12JsonTest = testing_support::UsLocaleTest;

TEST_F(X12JsonTest, WholeDocument)
{
    auto document = parseOk("ST*837*1~DTP*472*D8*20240315~NM1*85*2**\x01\"\\~SE*3*1~", "j.x12");
    ASSERT_TRUE(document);
    EXPECT_EQ(
        jsonOf(*document),
        "{\"fileName\":\"j.x12\",\"summaryLine\":\"4 segments \u00B7 transaction set 837\","
        "\"delimiters\":{\"element\":\"*\",\"component\":\":\",\"repetition\":\"^\",\"segment\":\"~"
        "\"},"
        "\"transactionSets\":[\"837\"],\"segments\":[\n"
        "{\"position\":1,\"offset\":0,\"tag\":\"ST\",\"name\":\"Transaction Set "
        "Header\",\"raw\":\"ST*837*1\","
        "\"elements\":[{\"ref\":\"ST01\",\"name\":\"Transaction Set Identifier "
        "Code\",\"value\":\"837\"},"
        "{\"ref\":\"ST02\",\"name\":\"Transaction Set Control Number\",\"value\":\"1\"}]},\n"
        "{\"position\":2,\"offset\":9,\"tag\":\"DTP\",\"name\":\"Date or Time "
        "Period\",\"raw\":\"DTP*472*D8*20240315\","
        "\"elements\":[{\"ref\":\"DTP01\",\"name\":\"Date/Time "
        "Qualifier\",\"value\":\"472\",\"display\":\"Service Date\"},"
        "{\"ref\":\"DTP02\",\"name\":\"Date Time Period Format Qualifier\",\"value\":\"D8\"},"
        "{\"ref\":\"DTP03\",\"name\":\"Date Time "
        "Period\",\"value\":\"20240315\",\"display\":\"03/15/2024\"}]},\n"
        "{\"position\":3,\"offset\":29,\"tag\":\"NM1\",\"name\":\"Individual or Organizational "
        "Name\","
        "\"raw\":\"NM1*85*2**\\u0001\\\"\\\\\",\"elements\":[{\"ref\":\"NM101\",\"name\":\"Entity "
        "Identifier Code\","
        "\"value\":\"85\",\"display\":\"Billing Provider\"},{\"ref\":\"NM102\",\"name\":\"Entity "
        "Type Qualifier\","
        "\"value\":\"2\",\"display\":\"Non-Person Entity\"},{\"ref\":\"NM103\",\"name\":\"Last "
        "Name or Organization\","
        "\"value\":\"\"},{\"ref\":\"NM104\",\"name\":\"First "
        "Name\",\"value\":\"\\u0001\\\"\\\\\"}]},\n"
        "{\"position\":4,\"offset\":43,\"tag\":\"SE\",\"name\":\"Transaction Set "
        "Trailer\",\"raw\":\"SE*3*1\","
        "\"elements\":[{\"ref\":\"SE01\",\"name\":\"Number of Included Segments\",\"value\":\"3\"},"
        "{\"ref\":\"SE02\",\"name\":\"Transaction Set Control Number\",\"value\":\"1\"}]}\n"
        "],\"tree\":[\n"
        "{\"kind\":\"transaction\",\"title\":\"Transaction Set 837\",\"subtitle\":\"Health Care "
        "Claim\","
        "\"position\":1,\"children\":[{\"kind\":\"segment\",\"title\":\"DTP \u2014 Date or Time "
        "Period\","
        "\"subtitle\":\"Service Date: "
        "03/15/2024\",\"position\":2,\"children\":[]},{\"kind\":\"loop\","
        "\"title\":\"Billing "
        "Provider\",\"subtitle\":\"\",\"position\":3,\"children\":[]},{\"kind\":\"segment\","
        "\"title\":\"SE \u2014 Transaction Set Trailer\",\"subtitle\":\"control "
        "1\",\"position\":4,\"children\":[]}]}\n"
        "],\"findings\":[\n"
        "{\"severity\":\"error\",\"position\":4,\"message\":\"SE01 says 3 segments; the "
        "transaction set "
        "(ST to SE) has 4\"}\n"
        "]}\n");
}

/// The tree part reduced to its arrays and each node's position: "1[2[]]" is node 1 with child 2.
/// (The titles it is used with hold no brackets.)
std::string treeShape(const std::string &text)
{
    const std::size_t tree = text.find("\"tree\":");
    const std::string part = text.substr(tree, text.find("\"findings\":") - tree);
    const std::string_view key = "\"position\":";
    std::string shape;
    for (std::size_t i = 0; i < part.size(); ++i) {
        if (part[i] == '[' || part[i] == ']') {
            shape += part[i];
        } else if (part.compare(i, key.size(), key) == 0) {
            for (i += key.size(); i < part.size() && part[i] >= '0' && part[i] <= '9'; ++i)
                shape += part[i];
            --i;
        }
    }
    return shape;
}

TEST_F(X12JsonTest, TreeClosesEveryLevel)
{
    auto document = parseOk("ISA~GS~ST~HL*1**20~NM1*85~N3~HL*2*1*22~CLM*1~LX*1~SV1~SE~GE~IEA~ZZ~");
    ASSERT_TRUE(document);
    EXPECT_EQ(treeShape(jsonOf(*document)), "[1[2[3[4[5[6[]]7[8[9[10[]]]]]11[]]12[]]13[]]14[]]");
}

TEST_F(X12JsonTest, InterchangesEndWithTheirOwnDelimiters)
{
    auto document = parseOk(isaHeader() + "IEA*1*000000001~" + isaHeader("|", "!", ">", "\x1D") +
                            "IEA|1|000000001\x1D");
    ASSERT_TRUE(document);
    const std::string out = jsonOf(*document);
    EXPECT_NE(out.find("\"position\":2,\"children\":[]}],\"delimiters\":{\"element\":\"*\","
                       "\"component\":\":\",\"repetition\":\"^\",\"segment\":\"~\"}},\n"),
              std::string::npos);
    EXPECT_NE(out.find("\"position\":4,\"children\":[]}],\"delimiters\":{\"element\":\"|\","
                       "\"component\":\">\",\"repetition\":\"!\",\"segment\":\"\\u001d\"}}\n],"),
              std::string::npos);
}

TEST_F(X12JsonTest, BlocksKeepTheirOrderWhateverTheirSize)
{
    // A trailer whose control number of 5 MB is quoted by its finding, then more segments and
    // findings than fit in two blocks: the big ones are written straight to the sink, the rest
    // side by side, and segments, nodes and findings each come in document order.
    const std::string control(5u << 20, 'A');
    std::string text = "GS*HC*S*R*20240101*1200*1*X*005010~GE*0*" + control + "~";
    for (int i = 0; i < 10000; ++i)
        text += "SE*1*" + std::to_string(i) + "~";
    auto document = parseOk(text);
    ASSERT_TRUE(document);
    ASSERT_EQ(document->findingCount(), 10001u);
    const std::string out = jsonOf(*document);
    EXPECT_TRUE(fuzz::isJson(out));
    std::size_t at = 0;
    for (const char *part : {"segments", "tree"}) {
        for (std::size_t position = 1; position <= document->segments().size(); ++position) {
            at = out.find("\"position\":" + std::to_string(position) + ",", at);
            ASSERT_NE(at, std::string::npos) << part << " " << position;
        }
    }
    at = out.find("],\"findings\":[", at);
    ASSERT_NE(at, std::string::npos);
    for (std::size_t k = 0; k < document->findingCount(); ++k) {
        const X12Finding finding = document->finding(k);
        const std::string object = std::string(k == 0 ? "[" : ",") + "\n{\"severity\":\"" +
                                   std::string(toString(finding.severity)) +
                                   "\",\"position\":" + std::to_string(finding.position) +
                                   ",\"message\":\"" + finding.message + "\"}";
        ASSERT_EQ(out.compare(at + (k == 0 ? 13 : 0), object.size(), object), 0) << k;
        at += (k == 0 ? 13 : 0) + object.size();
    }
    EXPECT_EQ(out.substr(at), "\n]}\n");
}

TEST_F(X12JsonTest, EnormousSegmentsAreHandedOnInPieces)
{
    // One segment of several megabytes: a tag as long as a line, a value of quotes that doubles
    // when escaped, and 200,000 more elements.
    const std::string tag(100, 'T');
    std::string text = tag + "*" + std::string(1u << 20, '"');
    for (int i = 0; i < 200'000; ++i)
        text += "*ab";
    auto document = parseOk(text);
    ASSERT_TRUE(document);
    ASSERT_EQ(document->segment(0).elementCount(), 200'001u);

    std::string out;
    std::size_t largest = 0;
    ASSERT_TRUE(X12Json::write(*document, [&](std::string_view piece) {
        largest = std::max(largest, piece.size());
        out.append(piece);
        return true;
    }));
    EXPECT_TRUE(fuzz::isJson(out));
    EXPECT_LE(largest, 2u << 20);
    // References carry the tag cut to 32 bytes.
    const std::string reference = "{\"ref\":\"" + std::string(32, 'T') + "\u2026" + "200001\",";
    EXPECT_NE(out.find(reference + "\"name\":\"" + std::string(32, 'T') +
                       "\u2026200001\",\"value\":\"ab\"}"),
              std::string::npos);
    EXPECT_EQ(out.find(tag + "01"), std::string::npos);

    // A sink that refuses in the middle of the segment is not called again.
    int calls = 0;
    EXPECT_FALSE(X12Json::write(*document, [&calls](std::string_view) { return ++calls < 2; }));
    EXPECT_EQ(calls, 2);
}

} // namespace
