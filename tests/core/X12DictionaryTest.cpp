#include "core/X12Dictionary.h"

#include <gtest/gtest.h>

namespace {

TEST(X12DictionaryTest, TablesHaveEveryEntry)
{
    EXPECT_EQ(X12Dictionary::transactionSets().size(), 22u);
    EXPECT_EQ(X12Dictionary::functionalGroups().size(), 13u);
    EXPECT_EQ(X12Dictionary::segmentNames().size(), 103u);
    EXPECT_EQ(X12Dictionary::elementNames().size(), 85u);
    std::size_t names = 0;
    for (const auto &[tag, list] : X12Dictionary::elementNames()) {
        names += list.size();
        EXPECT_TRUE(X12Dictionary::segmentNames().contains(tag)) << tag;
    }
    EXPECT_EQ(names, 492u);
    EXPECT_EQ(X12Dictionary::functionalGroups().at("FA"), "Functional Acknowledgment (997/999)");
}

TEST(X12DictionaryTest, SegmentNames)
{
    EXPECT_EQ(X12Dictionary::segmentName("NM1"), "Individual or Organizational Name");
    EXPECT_EQ(X12Dictionary::segmentName("NTE"), "Note / Special Instruction");
    EXPECT_EQ(X12Dictionary::segmentName("MOA2"), "Outpatient Adjudication");
    EXPECT_EQ(X12Dictionary::segmentName("XYZ"), "Segment XYZ");
    EXPECT_EQ(X12Dictionary::segmentName("nm1"), "Segment nm1");
    EXPECT_EQ(X12Dictionary::segmentName(""), "Segment ");
}

TEST(X12DictionaryTest, TransactionSetNames)
{
    EXPECT_EQ(X12Dictionary::transactionSetName("837"), "Health Care Claim");
    EXPECT_EQ(X12Dictionary::transactionSetName("820P"), "Premium Payment");
    EXPECT_EQ(X12Dictionary::transactionSetName("123"), "Transaction set 123");
    EXPECT_EQ(X12Dictionary::transactionSetName(""), "Transaction set ");
}

TEST(X12DictionaryTest, ElementNamesFallBackToReferences)
{
    EXPECT_EQ(X12Dictionary::elementName("NM1", 3), "Last Name or Organization");
    EXPECT_EQ(X12Dictionary::elementName("NM1", 12), "Name Last or Organization");
    EXPECT_EQ(X12Dictionary::elementName("NM1", 13), "NM113");
    EXPECT_EQ(X12Dictionary::elementName("NM1", 0), "NM100");
    EXPECT_EQ(X12Dictionary::elementName("CAS", 19), "Adjustment Quantity");
    EXPECT_EQ(X12Dictionary::elementName("GS", 2), "Application Sender's Code");
    EXPECT_EQ(X12Dictionary::elementName("ISA", 16), "Component Separator");
    EXPECT_EQ(X12Dictionary::elementName("ADX", 2), "Adjustment Reason Code");
    EXPECT_EQ(X12Dictionary::elementName("ZZZ", 1), "ZZZ01");
    EXPECT_EQ(X12Dictionary::elementName("SE", 3), "SE03");
    EXPECT_EQ(X12Dictionary::elementName("CR1", 2), "CR102");
    EXPECT_EQ(X12Dictionary::elementReference("CAS", 100), "CAS100");
    EXPECT_EQ(X12Dictionary::elementReference("NM1", -1), "NM1-1");
}

} // namespace
