#include "app/AppTestSupport.h"
#include "app/DocumentRoles.h"
#include "app/SegmentListModel.h"
#include "core/guides/X12GuideLoops.h"
#include "core/parse/X12Parser.h"

#include <QAbstractItemModelTester>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace app_testing;

namespace {

TEST(SegmentListModelTest, IsConsistent)
{
    auto document = X12Parser::parse(std::string(claim), "claim.x12");
    ASSERT_TRUE(document);
    SegmentListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setSegments(
        *document, std::make_shared<const X12GuideLoops>(X12GuideLoops::of(**document)),
        std::make_shared<const std::vector<std::uint32_t>>(std::vector<std::uint32_t>{1, 3, 4}));
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.index(1, 0).data(TagRole).toString(), QStringLiteral("NM1"));
    EXPECT_EQ(model.index(1, 0).data(PositionRole).toLongLong(), 4);
    EXPECT_EQ(model.rowOf(4), 2);
    EXPECT_EQ(model.rowOf(2), -1);
    EXPECT_FALSE(model.index(3, 0).isValid());
    model.setSegments(nullptr, nullptr, std::make_shared<const std::vector<std::uint32_t>>());
    EXPECT_EQ(model.rowCount(), 0);
}

} // namespace
