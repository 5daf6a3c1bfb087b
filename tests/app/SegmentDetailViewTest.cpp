#include "app/AppTestSupport.h"
#include "app/DisplayText.h"
#include "app/ElementDelegate.h"
#include "app/ElementTableModel.h"
#include "app/ElementTableView.h"
#include "app/InspectedNode.h"
#include "app/SegmentDetailView.h"
#include "app/SelectableText.h"
#include "app/Style.h"
#include "core/guides/X12GuideLoops.h"
#include "core/parse/X12Parser.h"

#include <QApplication>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

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

// What real files hold fits the pane: an attachment's base64 and a long reference wrap within
// it, a long tag or title wraps whole, and every reference stays on one line.
TEST(SegmentDetailViewTest, WhatFilesHoldStaysInsideThePane)
{
    const std::string base64 = testing_support::repeated("QmFzZTY0IGRhdGEgb2YgYSBzY2Fu", 28);
    const std::string text = testing_support::isaHeader() +
                             "BHT*0019*00*0123*20240315*1230*CH~"
                             "NM1*85*2*ACME CLINIC*****XX*1234567890~"
                             "BIN*800*" +
                             base64.substr(0, 800) +
                             "~"
                             "REF*EJ*" +
                             std::string(2700, '7') + "~" +
                             testing_support::repeated("ABCDEFGHIJKLM", 6) +
                             "*value~"
                             "N\x1B"
                             "3*1 MAIN ST~";
    auto parsed = X12Parser::parse(text, "attachment.275");
    ASSERT_TRUE(parsed);
    const std::shared_ptr<const X12Document> document = std::move(*parsed);
    const X12GuideLoops loops = X12GuideLoops::of(*document);
    SegmentDetailView view;
    view.resize(Style::pt(420), Style::pt(600));
    view.show();
    for (std::uint32_t segment = 1; segment < 7; ++segment) {
        SCOPED_TRACE(segment);
        const InspectedNode node = InspectedNode::ofSegment(*document, loops, segment);
        view.inspect(document, node);
        for (int i = 0; i < 3; ++i)
            QApplication::processEvents();
        const int right = view.viewport()->width();
        EXPECT_LE(view.widget()->width(), right);
        for (const QWidget *child : view.widget()->findChildren<QWidget *>()) {
            if (child->isVisible() && child->parentWidget() == view.widget()) {
                EXPECT_LE(child->geometry().right(), right) << child->metaObject()->className();
            }
        }
        const auto texts = view.widget()->findChildren<SelectableText *>();
        ASSERT_FALSE(texts.isEmpty());
        EXPECT_EQ(texts.front()->text(), node.title);
        // Nothing is drawn as a missing glyph's box: a control picture in a bold title or tag
        // (inspector, segment list) comes from the regular face.
        const auto drawsEveryGlyph = [](const QTextLayout &layout) {
            for (const QGlyphRun &run : layout.glyphRuns()) {
                if (run.glyphIndexes().contains(0))
                    return false;
            }
            return true;
        };
        EXPECT_TRUE(drawsEveryGlyph(*texts.front()->document()->begin().layout()));
        const QString tag = DisplayText::shown(document->segment(segment).tag());
        EXPECT_TRUE(drawsEveryGlyph(*Style::lineLayout(tag, Style::fixedFont(11, QFont::Bold))));
        const ElementTableView *table = view.table();
        ASSERT_TRUE(table);
        const QFontMetricsF refs(ElementDelegate::cellFont(ElementTableModel::referenceColumn));
        const int refWidth = table->columnWidth(ElementTableModel::referenceColumn) -
                             2 * Style::pt(ElementDelegate::cellPaddingX);
        for (int row = 0; row < table->elements()->rowCount(); ++row) {
            const QString ref = table->elements()->row(row).ref;
            if (ref.size() < 8) { // a runaway tag's reference is cut instead
                EXPECT_LE(refs.horizontalAdvance(ref), refWidth) << ref.toStdString();
            }
        }
    }
}

} // namespace
