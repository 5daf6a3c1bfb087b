// What the parser makes of named public sample files (see data/README.md). The fuzz replay runs
// every sample through the generic checks; these are the results only a named file can pin down.

#include "core/text/TextFile.h"
#include "core/parse/X12Parser.h"

#include "core/TestSupport.h"

#include <gtest/gtest.h>

#include <vector>

using namespace testing_support;

namespace {

std::shared_ptr<const X12Document> parseSample(const std::string &name)
{
    auto text = TextFile::read(dataPath(name), TextFile::Decoding::utf8OrLatin1);
    if (!text) {
        ADD_FAILURE() << text.error().description();
        return nullptr;
    }
    return parseOk(std::move(*text), name);
}

struct SampleCase
{
    std::string file;
    X12Delimiters delimiters;
    std::size_t segments;
    std::size_t roots;
    std::vector<std::string> transactionSets;
};

TEST(SampleFilesTest, DelimitersCountsAndSets)
{
    const std::vector<SampleCase> cases{
        {"837p-x12_valid.txt", {"*", ":", "^", "~"}, 38, 1, {"837"}},
        {"837p-x12_valid_different_separators.txt", {"~", "^", "^", "_"}, 38, 1, {"837"}},
        {"214-ts214_ellipses_segterm.edi", {"*", ">", "^", "\u2026"}, 24, 1, {"214"}},
        {"835-multiLineNotDelimited.edi", {"*", ":", "^", "\n"}, 69, 1, {"835"}},
        {"835-oneLine-2-ISA.edi", {"*", ":", "^", "~"}, 70, 2, {"835"}},
        {"997-simple997-multiple-interchanges.edi", {"*", ":", "^", "~"}, 36, 3, {"997"}},
        {"000-simple_with_binary_segment.edi", {"*", ":", "^", "~"}, 9, 1, {"000"}},
        {"isa-only-segment_terminator.edi", {"*", ":", ">", "\n"}, 1, 1, {}},
        {"notx12-bad_file.edi", {"*", ":", "^", "\n"}, 1, 1, {}},
        {"837p-x12_no_isa_line.txt", {"*", ":", "^", "~"}, 44, 2, {"837"}},
        {"mixed-278-837-835-mult_isa.txt", {"*", ":", "^", "~"}, 52, 2, {"278", "837", "835"}},
        {"mixed-mailbag-4-terminators.edi",
         {"*", ":", "^", "~"},
         106,
         4,
         {"835", "271", "999", "214"}},
        // Each line of prose before ISA is a segment outside the interchange.
        {"835-split.edi", {"*", ":", "^", "~"}, 38, 3, {"835"}},
    };
    for (const SampleCase &c : cases) {
        SCOPED_TRACE(c.file);
        auto document = parseSample(c.file);
        ASSERT_TRUE(document);
        EXPECT_EQ(document->delimiters(), c.delimiters);
        EXPECT_EQ(document->segments().size(), c.segments);
        EXPECT_EQ(document->rootNodes().size(), c.roots);
        EXPECT_EQ(document->transactionSets(), c.transactionSets);
    }

    // The same claims with a tilde between elements; a binary payload keeps its line feeds.
    auto plain = parseSample("837p-x12_valid.txt");
    auto other = parseSample("837p-x12_valid_different_separators.txt");
    auto binary = parseSample("000-simple_with_binary_segment.edi");
    ASSERT_TRUE(plain && other && binary);
    EXPECT_EQ(outline(*plain), outline(*other));
    EXPECT_EQ(other->segment(19).element(2), "DOE");
    EXPECT_EQ(binary->segment(5).raw(), "BIN*25*1234567890\n1234567890\n12");
}

} // namespace
