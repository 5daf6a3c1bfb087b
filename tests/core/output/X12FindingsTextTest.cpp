#include "core/output/X12FindingsText.h"

#include "core/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace testing_support;

namespace {

using X12FindingsTextTest = testing_support::UsLocaleTest;

TEST_F(X12FindingsTextTest, ControlCharactersPrintAsSymbols)
{
    // A message quotes the file's values: a line feed in one must not forge a line of its own.
    const auto document = parseOk("ISA*00*          *00*          *ZZ*SENDER         *ZZ*RECEIVER  "
                                  "     *240315*1230*^*00501*000000001*0*P*:~\n"
                                  "GS*HC*SENDER*RECEIVER*20240315*1230*1*X*005010X222A1~\n"
                                  "ST*837*0001~\n"
                                  "SE*2*0001~\n"
                                  "GE*1*1\nNo findings.~\n"
                                  "IEA*1*000000001~\n");
    ASSERT_TRUE(document);
    std::string text;
    const std::size_t findings =
        X12FindingsText::write(*document, {}, [&text](std::string_view piece) {
            text.append(piece);
            return true;
        });
    EXPECT_EQ(findings, 1u);
    EXPECT_EQ(text, "segment 5 (GE): error: GE02 1\u240ANo findings. does not match GS06 1\n"
                    "1 error, 0 warnings\n");
}

} // namespace
