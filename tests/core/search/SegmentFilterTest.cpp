#include "core/guides/X12GuideLoops.h"
#include "core/search/SegmentFilter.h"
#include "core/parse/X12Parser.h"

#include <gtest/gtest.h>

#include <stop_token>
#include <string>
#include <vector>

namespace {

// A document big enough to be searched on several threads: what each finds must join into one
// list in document order, the same as a search segment by segment.
TEST(SegmentFilterTest, BigDocumentsMatchAsSmallOnes)
{
    const std::vector<std::string> kinds{"NM1*85*2*ACME",
                                         "ZZZ*nm1 here",
                                         "REF*EA*\u00C9T\u00C9",
                                         "XYZ*1",
                                         "DTP*472*D8",
                                         "N3*12 MAIN ST",
                                         "PER*IC*JOHN SMITH JUNIOR*TE*5551234"};
    std::string text;
    std::vector<std::string> raws;
    for (int i = 0; i < 200'000; ++i) {
        raws.push_back(kinds[std::size_t(i * 7 + i / 3) % kinds.size()]);
        text += raws.back() + "~";
    }
    auto document = X12Parser::parse(text, "big.x12");
    ASSERT_TRUE(document);
    const X12Document &doc = **document;
    const X12GuideLoops loops = X12GuideLoops::of(doc);

    // The query, the raw texts it is in, and the tags whose names hold it.
    struct Case
    {
        std::string query;
        std::vector<std::string> rawHits;
        std::vector<std::string> nameHits;
    };
    const std::vector<Case> cases{
        {"NM1", {"NM1*85*2*ACME", "ZZZ*nm1 here"}, {}},
        {"  \u00E9t\u00E9 ", {"REF*EA*\u00C9T\u00C9"}, {}},
        {"segment x", {}, {"XYZ"}}, // the name of a tag the dictionary does not know
        {"date", {}, {"DTP"}},      // "Date or Time or Period"
        {"address", {}, {"N3"}},    // "Address Information"
        {"nothing like it", {}, {}},
        {"2*acme", {"NM1*85*2*ACME"}, {}}, // at the end of a segment
        {"st~nm1", {}, {}},                // across a terminator: in no segment
        {"main st", {"N3*12 MAIN ST"}, {}},
        {"john smith junior*te*555", {"PER*IC*JOHN SMITH JUNIOR*TE*5551234"}, {}},
        {"smith junior*tf", {}, {}}, // its first bytes are there, its last is not
        {"reference", {}, {"REF"}},  // by name, for a text with other than ASCII
        {"\nnm1", {}, {}},           // a line feed is not trimmed, and is in no segment
    };
    for (const Case &c : cases) {
        std::vector<std::uint32_t> expected;
        for (std::uint32_t i = 0; i < raws.size(); ++i) {
            const std::string tag = raws[i].substr(0, raws[i].find('*'));
            bool hit = false;
            for (const std::string &raw : c.rawHits)
                hit = hit || raws[i] == raw;
            for (const std::string &name : c.nameHits)
                hit = hit || tag == name;
            if (hit)
                expected.push_back(i);
        }
        std::vector<std::uint32_t> found = SegmentFilter::matches(doc, loops, c.query);
        EXPECT_EQ(found, expected) << c.query;
        // Given back full: the next search must start it empty.
        SegmentFilter::recycle(std::move(found));
        // A search stopped before it starts is wanted by nobody: nothing, and its lists back.
        std::stop_source stopped;
        stopped.request_stop();
        EXPECT_TRUE(SegmentFilter::matches(doc, loops, c.query, stopped.get_token()).empty());
    }
    EXPECT_EQ(SegmentFilter::matches(doc, loops, " \t").size(), raws.size());
}

TEST(SegmentFilterTest, LongTagsMatchByTheStartOfTheirName)
{
    // A tag of a thousand bytes is named "Segment " and itself: a query across "segment " and the
    // tag's start matches by name, one inside the tag by the segment's text.
    const std::string tag = "Q" + std::string(1000, 'T') + "\u00C9";
    auto document = X12Parser::parse(tag + "*X~N3*A~", "long.x12");
    ASSERT_TRUE(document);
    ASSERT_EQ((*document)->segment(0).tag().size(), tag.size());
    ASSERT_EQ((*document)->segments().size(), 2u);
    const std::vector<std::pair<std::string, std::vector<std::uint32_t>>> cases{
        {"segment qttt", {0}},  {"ment q" + std::string(40, 't'), {0}},
        {"ment q", {0}},        {"tttt", {0}},
        {"t\u00E9*x", {0}},     {"segment qtx", {}},
        {"party address", {1}},
    };
    for (const auto &[query, expected] : cases)
        EXPECT_EQ(SegmentFilter::matches(**document, X12GuideLoops::of(**document), query),
                  expected)
            << query;
}

} // namespace
