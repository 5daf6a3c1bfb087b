#include "app/AppTestSupport.h"
#include "app/DocumentRoles.h"
#include "app/NodeTreeModel.h"
#include "core/guides/X12GuideLoops.h"
#include "core/parse/X12Parser.h"

#include <QAbstractItemModelTester>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

using namespace app_testing;

namespace {

/// Walks every index of a tree model down from `parent`, checking that each finds its way back:
/// parent() of a child is the index it was reached from, and its row is where it was found.
int checkRoundTrips(const QAbstractItemModel &model, const QModelIndex &parent, int depth = 0)
{
    int deepest = depth;
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex child = model.index(row, 0, parent);
        EXPECT_EQ(child.row(), row);
        EXPECT_EQ(model.parent(child), parent);
        deepest = std::max(deepest, checkRoundTrips(model, child, depth + 1));
    }
    return deepest;
}

TEST(NodeTreeModelTest, TreesOfEveryShapeHold)
{
    // Deep: every envelope and every rank of loop nested in the one before. Wide: ten thousand
    // segments in one transaction set, and a thousand interchanges at the top.
    std::string deep = claim.substr(0, claim.find("NM1"));
    deep += "HL*1**20*1~HL*2*1*21*1~HL*3*2*22*1~HL*4*3*23*0~CLM*A*1~LX*1~SV1*HC:99213*1~"
            "NM1*82*1*DOE~N3*1 MAIN~SE*12*0001~GE*1*1~IEA*1*000000001~";
    std::string wide = claim.substr(0, claim.find("NM1"));
    for (int i = 0; i < 10'000; ++i)
        wide += "REF*EI*" + std::to_string(i) + "~";
    wide += "SE*10002*0001~GE*1*1~IEA*1*000000001~";
    std::string many;
    for (int i = 0; i < 1'000; ++i)
        many += claim;
    for (const auto &[name, text, depth] :
         {std::tuple{"claim", claim, 5}, std::tuple{"deep", deep, 12}, std::tuple{"wide", wide, 4},
          std::tuple{"many", many, 5}}) {
        SCOPED_TRACE(name);
        auto document = X12Parser::parse(text, name);
        ASSERT_TRUE(document);
        NodeTreeModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::Fatal);
        model.setDocument(*document,
                          std::make_shared<const X12GuideLoops>(X12GuideLoops::of(**document)));
        EXPECT_EQ(checkRoundTrips(model, {}), depth);
        if (std::string_view(name) == "claim") {
            const QModelIndex provider =
                model.index(0, 0, model.index(0, 0, model.index(0, 0, model.index(0, 0))));
            EXPECT_EQ(provider.data().toString(), QStringLiteral("Billing Provider: ACME CLINIC"));
            EXPECT_EQ(provider.data(SubtitleRole).toString(), QStringLiteral("NPI 1234567890"));
        }
        model.setDocument(nullptr, nullptr);
        EXPECT_EQ(model.rowCount(), 0);
    }
}

} // namespace
