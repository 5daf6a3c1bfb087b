#include "core/output/X12FindingsText.h"

#include "core/TestSupport.h"
#include "core/guides/X12GuideLoops.h"

#include <gtest/gtest.h>

#include <string>

using namespace testing_support;

namespace {

using X12FindingsTextTest = testing_support::UsLocaleTest;

TEST_F(X12FindingsTextTest, ControlCharactersPrintAsSymbols)
{
    // A message quotes the file's values: a line feed in one must not forge a line of its own.
    std::string claim = smallClaim;
    const auto document = parseOk(claim.replace(claim.find("GE*1*1"), 6, "GE*1*1\nNo findings."));
    ASSERT_TRUE(document);
    std::string text;
    EXPECT_EQ(X12FindingsText::write(*document, X12GuideLoops(), appendingTo(text)), 1u);
    EXPECT_EQ(text, "segment 9 (GE): error: GE02 1\u240ANo findings. does not match GS06 1\n"
                    "1 error, 0 warnings\n");
}

} // namespace
