#include "app/AppTestSupport.h"
#include "app/DisplayText.h"
#include "app/ElementTableModel.h"
#include "app/InspectedNode.h"
#include "app/SegmentDetailView.h"
#include "core/parse/X12Parser.h"

#include <gtest/gtest.h>

using namespace app_testing;

namespace {

TEST(SegmentDetailViewTest, ElementRowsAndDelimiters)
{
    auto document = X12Parser::parse("NM1*85*2*ACME*****XX*ID9~CLM*A*1**11*X*Y*A*Y*I*P~", "x");
    ASSERT_TRUE(document);
    const auto rows = elementRows((*document)->segment(0));
    QStringList refs;
    for (const ElementRow &row : rows)
        refs << row.ref;
    EXPECT_EQ(refs, (QStringList{"NM101", "NM102", "NM103", "NM108", "NM109"}));
    EXPECT_EQ(rows[0].decoded, QStringLiteral("Billing Provider"));
    EXPECT_EQ(rows[3].decoded, QStringLiteral("NPI"));
    EXPECT_FALSE(rows[4].decoded);
    EXPECT_EQ(elementRows((*document)->segment(1)).back().ref, QStringLiteral("CLM10"));
    EXPECT_EQ(elementRows((*document)->segment(1))[1].decoded, QStringLiteral("$1.00"));

    EXPECT_EQ(DisplayText::delimiter("~"), QStringLiteral("~"));
    EXPECT_EQ(DisplayText::delimiter("\n"), QStringLiteral("\\n (newline)"));
    EXPECT_EQ(DisplayText::delimiter("\r"), QStringLiteral("\\r"));
    EXPECT_EQ(DisplayText::delimiter("\x1C"), QStringLiteral("0x1C"));
    EXPECT_EQ(DisplayText::delimiter("\u2026"), QStringLiteral("\u2026"));
}

TEST(SegmentDetailViewTest, InterchangeShowsItsOwnDelimiters)
{
    const std::string first = testing_support::isaHeader();
    const std::string second = testing_support::isaHeader("|", "!", ">", "\n");
    auto document = X12Parser::parse(first + "IEA*1*000000001~" + second + "IEA|1|1\n", "m");
    ASSERT_TRUE(document);
    SegmentDetailView view;
    view.inspect(*document, {QStringLiteral("Interchange"), {}, 2, 1, {}, {}});
    const QStringList texts = view.texts();
    const auto at = texts.indexOf(QStringLiteral("Element separator"));
    ASSERT_GE(at, 0);
    EXPECT_EQ(texts.mid(at, 8),
              (QStringList{"Element separator", "|", "Component separator", ">",
                           "Repetition separator", "!", "Segment terminator", "\\n (newline)"}));
}

} // namespace
