#include "core/output/X12TreeText.h"

#include "core/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace testing_support;

namespace {

using X12TreeTextTest = testing_support::UsLocaleTest;

const std::string smallClaimTree =
    "Interchange  \u2014 SENDER \u2192 RECEIVER \u00B7 03/15/2024 \u00B7 Production \u00B7 "
    "control 000000001\n"
    "  Functional Group HC  \u2014 Health Care Claim (837) \u00B7 SENDER \u2192 RECEIVER "
    "\u00B7 03/15/2024 \u00B7 005010X222A1\n"
    "    Transaction Set 837  \u2014 Health Care Claim\n"
    "      BHT \u2014 Beginning of Hierarchical Transaction  \u2014 0019 \u00B7 00 \u00B7 1\n"
    "      HL 1 \u2014 Information Source  \u2014 1 \u00B7 20\n"
    "        Billing Provider: ACME CLINIC  \u2014 NPI 1234567890\n"
    "          N3 \u2014 Party Address  \u2014 12 MAIN ST\n"
    "      SE \u2014 Transaction Set Trailer  \u2014 control 0001\n"
    "    GE \u2014 Functional Group Trailer  \u2014 control 1\n"
    "  IEA \u2014 Interchange Control Trailer  \u2014 control 000000001\n";

/// The tree written through the sink, and made whole on one thread, which must agree.
std::string treeOf(const std::string &text)
{
    const auto document = parseOk(text);
    if (!document)
        return {};
    std::string written;
    EXPECT_TRUE(X12TreeText::write(*document, appendingTo(written)));
    std::string whole;
    X12TreeText::append(*document, whole);
    EXPECT_TRUE(whole == written);
    return written;
}

TEST_F(X12TreeTextTest, EveryNodeIndented)
{
    EXPECT_EQ(treeOf(smallClaim), smallClaimTree);
}

TEST_F(X12TreeTextTest, ControlCharactersPrintAsSymbols)
{
    // Values that hold an escape sequence, a line feed (inside a segment: "~" ends them), DEL, a
    // NUL and C1's CSI: printed raw, they would clear the terminal or forge lines.
    std::string claim = smallClaim;
    claim.replace(claim.find("ACME CLINIC"), 11, "ACME\x1B[2JCLINIC\x7F");
    claim.replace(claim.find("12 MAIN ST"), 10,
                  std::string("12 MAIN\nIEA \u2014 forged\0\u009B", 25));
    claim.replace(claim.find("GE*1*1"), 6, "GE*1*1\nNo findings.");
    std::string expected = smallClaimTree;
    expected.replace(expected.find("ACME CLINIC"), 11, "ACME\u241B[2JCLINIC\u2421");
    expected.replace(expected.find("12 MAIN ST"), 10, "12 MAIN\u240AIEA \u2014 forged\u2400\uFFFD");
    expected.replace(expected.find("control 1\n"), 10, "control 1\u240ANo findings.\n");
    EXPECT_EQ(treeOf(claim), expected);

    // In a file of many blocks of lines, with line breaks between its segments, a control
    // character deep inside one segment shows where it is, and only there.
    std::string many = smallClaim;
    std::string manyExpected = smallClaimTree;
    const std::string address = "N3*12 MAIN ST~\n";
    const std::string addressLine = "          N3 \u2014 Party Address  \u2014 12 MAIN ST\n";
    for (int i = 0; i < 9999; ++i) {
        many.insert(many.find(address), address);
        manyExpected.insert(manyExpected.find(addressLine), addressLine);
    }
    const std::size_t deep = many.rfind("12 MAIN ST");
    many.replace(deep, 10, "12 MAIN\x1BST");
    manyExpected.replace(manyExpected.rfind("12 MAIN ST"), 10, "12 MAIN\u241BST");
    EXPECT_EQ(treeOf(many), manyExpected);
    many.replace(deep, 10, "12 MAIN ST");
    manyExpected.replace(manyExpected.rfind("12 MAIN\u241BST"), 12, "12 MAIN ST");
    EXPECT_EQ(treeOf(many), manyExpected);

    // A line feed inside a value, the file's only control character.
    std::string fedClaim = smallClaim;
    fedClaim.replace(fedClaim.find("12 MAIN ST"), 10, "12 MAIN\nST");
    std::string fedExpected = smallClaimTree;
    fedExpected.replace(fedExpected.find("12 MAIN ST"), 10, "12 MAIN\u240AST");
    EXPECT_EQ(treeOf(fedClaim), fedExpected);

    // A value of megabytes goes out in pieces, cut between characters, each made printable.
    std::string hugeClaim = smallClaim;
    std::string hugeValue, hugeShown;
    for (int i = 0; i < 800'000; ++i) {
        hugeValue += "A\u00E9\x01";
        hugeShown += "A\u00E9\u2401";
    }
    hugeClaim.replace(hugeClaim.find("12 MAIN ST"), 10, hugeValue);
    std::string hugeExpected = smallClaimTree;
    hugeExpected.replace(hugeExpected.find("12 MAIN ST"), 10, hugeShown);
    const std::string hugeTree = treeOf(hugeClaim);
    EXPECT_TRUE(hugeTree == hugeExpected) << hugeTree.size() << " bytes";
}

} // namespace
