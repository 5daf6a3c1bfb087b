// Public sample files (see data/README.md): every one parses, and the tree keeps every segment
// once, in file order, with exact parent and row links.

#include "core/text/TextFile.h"
#include "core/dictionary/X12Dictionary.h"
#include "core/parse/X12Parser.h"

#include "core/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>
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

void expectConsistentTree(const X12Document &document)
{
    const X12SegmentList &segments = document.segments();
    ASSERT_EQ(document.nodeCount(), segments.size());
    // A depth-first walk meets every node once, in file order.
    std::uint32_t expected = 0;
    auto walk = [&](auto &self, std::uint32_t parent) -> void {
        const auto children = document.children(parent);
        for (std::uint32_t row = 0; row < children.size(); ++row) {
            const std::uint32_t child = children[row];
            ASSERT_EQ(child, expected++);
            EXPECT_EQ(document.node(child).parent, parent);
            EXPECT_EQ(document.node(child).row, row);
            self(self, child);
        }
    };
    walk(walk, X12Document::rootId());
    EXPECT_EQ(expected, segments.size());

    for (std::size_t i = 0; i < segments.size(); ++i) {
        EXPECT_EQ(segments[i].position(), std::ptrdiff_t(i + 1));
        if (i > 0) {
            EXPECT_GT(segments[i].offset(), segments[i - 1].offset());
        }
        EXPECT_FALSE(segments[i].raw().empty());
        EXPECT_NE(X12Dictionary::nodeTitle(document, std::uint32_t(i)), "");
    }
}

TEST(SampleFilesTest, EveryTreeHoldsEverySegmentInOrder)
{
    int files = 0;
    for (const auto &entry : std::filesystem::directory_iterator(KELVANE_TEST_DATA_DIR)) {
        const std::string name = entry.path().filename().string();
        if (name == "README.md")
            continue;
        SCOPED_TRACE(name);
        auto document = parseSample(name);
        ASSERT_TRUE(document);
        expectConsistentTree(*document);
        ++files;
    }
    EXPECT_GE(files, 20);
}

/// Every container's children, in node order.
std::vector<std::vector<std::uint32_t>> allChildren(const X12Document &document)
{
    std::vector<std::vector<std::uint32_t>> lists;
    for (std::uint32_t node = 0; node < document.nodeCount(); ++node) {
        const auto children = document.children(node);
        lists.emplace_back(children.begin(), children.end());
    }
    return lists;
}

TEST(SampleFilesTest, ChildrenListedByTheFirstOfManyReaders)
{
    // The children are listed when first asked for: by whichever of several threads asking at
    // once gets there first, with the others waiting for the same lists.
    auto text = TextFile::read(dataPath("mixed-mailbag-4-terminators.edi"),
                               TextFile::Decoding::utf8OrLatin1);
    ASSERT_TRUE(text);
    const auto listed = parseOk(*text, "listed.edi");
    listed->listChildren();
    const auto expected = allChildren(*listed);
    for (int round = 0; round < 20; ++round) {
        const auto lazy = parseOk(*text, "lazy.edi");
        std::vector<std::vector<std::vector<std::uint32_t>>> seen(4);
        {
            std::vector<std::jthread> readers;
            for (auto &lists : seen)
                readers.emplace_back([&lists, &lazy] { lists = allChildren(*lazy); });
        }
        for (const auto &lists : seen)
            ASSERT_EQ(lists, expected);
    }
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
}

TEST(SampleFilesTest, SameInterchangeWithOtherSeparators)
{
    auto plain = parseSample("837p-x12_valid.txt");
    auto other = parseSample("837p-x12_valid_different_separators.txt");
    ASSERT_TRUE(plain && other);
    EXPECT_EQ(outline(*plain), outline(*other));
    EXPECT_EQ(plain->segment(19).element(2), "DOE");
    EXPECT_EQ(other->segment(19).element(2), "DOE");
}

TEST(SampleFilesTest, BinaryPayloadStaysInsideItsSegment)
{
    auto document = parseSample("000-simple_with_binary_segment.edi");
    ASSERT_TRUE(document);
    EXPECT_EQ(document->segment(5).raw(), "BIN*25*1234567890\n1234567890\n12");
}

TEST(SampleFilesTest, AcknowledgmentBetweenHeaderAndGroup)
{
    auto document = parseSample("999-x12_999_accepted_ta1.txt");
    ASSERT_TRUE(document);
    EXPECT_EQ(outline(*document), "ISA\n"
                                  "  TA1\n"
                                  "  GS\n"
                                  "    ST\n"
                                  "      AK1\n"
                                  "      AK2\n"
                                  "      IK3\n"
                                  "      IK3\n"
                                  "      IK5\n"
                                  "      AK9\n"
                                  "      SE\n"
                                  "    GE\n"
                                  "  IEA\n");
}

/// The sample's segments written out again with another element separator and terminator, as
/// another sender would; neither may occur in the data.
std::string rewritten(const X12Document &sample, const std::string &element,
                      const std::string &terminator)
{
    std::string text;
    for (const X12Segment segment : sample.segments()) {
        text += segment.tag();
        for (const std::string_view value : segment.elements()) {
            EXPECT_EQ(value.find(element), std::string_view::npos) << value;
            EXPECT_EQ(value.find(terminator), std::string_view::npos) << value;
            text += element;
            text += value;
        }
        text += terminator;
    }
    return text;
}

/// Findings as "position: message" lines, positions moved on by `shift` segments.
std::string findingLines(const X12Document &document, std::size_t shift = 0)
{
    std::string lines;
    for (std::size_t i = 0; i < document.findingCount(); ++i) {
        const X12Finding finding = document.finding(i);
        lines += std::to_string(finding.position + shift) + ": " + finding.message + "\n";
    }
    return lines;
}

TEST(SampleFilesTest, MailbagKeepsEachInterchangeWithItsOwnDelimiters)
{
    struct Part
    {
        std::string file;
        std::string element;
        std::string terminator;
    };
    const Part parts[] = {
        {"837p-x12_valid.txt", "*", "~"},
        {"835-835_simple.txt", "|", "\n"},
        {"271-dependent-health-benefit-check.271", "!", "\x15"},
        {"214-ts214_ellipses_segterm.edi", "*", "}"},
        {"837d-claim-from-billing-provider-to-payer-a.edi", "|", "~"},
        {"999-x12_999_accepted_ta1.txt", "!", "\n"},
        {"837i-homeowners.837", "*", "\x15"},
        {"000-simple_with_binary_segment.edi", "|", "}"},
    };
    std::string mailbag;
    std::string expectedOutline;
    std::string expectedFindings;
    std::vector<X12Delimiters> expectedDelimiters;
    std::size_t segments = 0;
    for (const Part &part : parts) {
        SCOPED_TRACE(part.file);
        auto sample = parseSample(part.file);
        ASSERT_TRUE(sample);
        const std::string text = rewritten(*sample, part.element, part.terminator);
        auto alone = parseOk(text);
        ASSERT_TRUE(alone);
        ASSERT_EQ(alone->rootNodes().size(), 1u);
        expectedOutline += outline(*alone);
        expectedFindings += findingLines(*alone, segments);
        expectedDelimiters.push_back(alone->delimiters());
        segments += alone->segments().size();
        mailbag += text;
    }

    auto document = parseOk(mailbag);
    ASSERT_TRUE(document);
    EXPECT_EQ(document->segments().size(), segments);
    EXPECT_EQ(outline(*document), expectedOutline);
    EXPECT_EQ(findingLines(*document), expectedFindings);
    EXPECT_EQ(document->delimiters(), expectedDelimiters.front());
    ASSERT_EQ(document->rootNodes().size(), std::size(parts));
    for (std::size_t i = 0; i < std::size(parts); ++i)
        EXPECT_EQ(document->delimitersAt(document->rootNodes()[i]), expectedDelimiters[i]) << i;
}

} // namespace
