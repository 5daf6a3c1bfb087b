#pragma once

#include "core/output/X12Json.h"
#include "core/parse/X12Parser.h"
#include "common/Files.h"
#include "common/ScopedEnvironment.h"
#include "common/TextReference.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

/// Sets a size from which work takes another path (kelvane::detail::halvesMinimum and the like)
/// while it lives, so that a test reaches that path with a small input.
class ScopedMinimum
{
public:
    ScopedMinimum(std::atomic<std::size_t> &minimum, std::size_t value)
        : m_minimum(minimum), m_usual(minimum.exchange(value))
    {
    }
    ~ScopedMinimum() { m_minimum = m_usual; }
    ScopedMinimum(const ScopedMinimum &) = delete;
    ScopedMinimum &operator=(const ScopedMinimum &) = delete;

private:
    std::atomic<std::size_t> &m_minimum;
    std::size_t m_usual;
};

inline std::string dataPath(const std::string &name)
{
    return std::string(KELVANE_TEST_DATA_DIR) + "/" + name;
}

inline std::string readData(const std::string &name)
{
    return files::slurp(dataPath(name));
}

/// `piece`, `count` times over.
inline std::string repeated(std::string_view piece, std::size_t count)
{
    std::string out;
    out.reserve(piece.size() * count);
    for (std::size_t i = 0; i < count; ++i)
        out += piece;
    return out;
}

/// An interchange header from SENDER to RECEIVER, dated 03/15/2024 12:30, control number
/// 000000001, with the delimiters given: 106 characters when each is one.
inline std::string isaHeader(const std::string &element = "*", const std::string &repetition = "^",
                             const std::string &component = ":",
                             const std::string &terminator = "~")
{
    const std::string &e = element;
    return "ISA" + e + "00" + e + std::string(10, ' ') + e + "00" + e + std::string(10, ' ') + e +
           "ZZ" + e + "SENDER         " + e + "ZZ" + e + "RECEIVER       " + e + "240315" + e +
           "1230" + e + repetition + e + "00501" + e + "000000001" + e + "0" + e + "P" + e +
           component + terminator;
}

/// A professional claim with sound envelopes, one segment a line: ten segments, no findings.
inline const std::string smallClaim = isaHeader() +
                                      "\nGS*HC*SENDER*RECEIVER*20240315*1230*1*X*005010X222A1~\n"
                                      "ST*837*0001~\n"
                                      "BHT*0019*00*1*20240315*1230*CH~\n"
                                      "HL*1**20*1~\n"
                                      "NM1*85*2*ACME CLINIC*****XX*1234567890~\n"
                                      "N3*12 MAIN ST~\n"
                                      "SE*6*0001~\n"
                                      "GE*1*1~\n"
                                      "IEA*1*000000001~\n";

/// pyx12's simple 4010 professional claim, one segment a line, with each claim's charge made the
/// sum of its lines' (pyx12 does not add amounts up): it breaks nothing of its guide.
inline std::string validClaim()
{
    std::string text = readData("837p-pyx12-simple_837p.txt");
    text.replace(text.find("CLM*3215338*21"), 14, "CLM*3215338*42");
    return text.replace(text.find("CLM*5555*21"), 11, "CLM*5555*43");
}

/// A sink that appends every piece to `text`, and never refuses.
inline auto appendingTo(std::string &text)
{
    return [&text](std::string_view piece) {
        text.append(piece);
        return true;
    };
}

/// Parses text that must give a document.
inline std::shared_ptr<const X12Document> parseOk(std::string text, std::string name = "test.x12")
{
    auto document = X12Parser::parse(std::move(text), std::move(name));
    if (!document) {
        ADD_FAILURE() << "parse failed: " << description(document.error());
        return nullptr;
    }
    return *document;
}

inline std::vector<std::string> elementsOf(X12Segment segment)
{
    return {segment.elements().begin(), segment.elements().end()};
}

/// The tree as indented tags, loops in parentheses: compact enough to compare whole.
inline std::string outline(const X12Document &document)
{
    std::string text;
    auto walk = [&](auto &self, std::uint32_t index, int depth) -> void {
        text.append(std::size_t(depth) * 2, ' ');
        const std::string tag(document.segment(index).tag());
        text += document.node(index).kind == X12Node::Kind::loop ? "(" + tag + ")" : tag;
        text += '\n';
        for (std::uint32_t child : document.children(index))
            self(self, child, depth + 1);
    };
    for (std::uint32_t root : document.rootNodes())
        walk(walk, root, 0);
    return text;
}

/// The segments as their tags, one per line.
inline std::string tags(const X12Document &document)
{
    std::string text;
    for (const X12Segment segment : document.segments()) {
        text += segment.tag();
        text += '\n';
    }
    return text;
}

/// The document as JSON, all of it.
inline std::string jsonOf(const X12Document &document)
{
    std::string text;
    EXPECT_TRUE(X12Json::write(document, appendingTo(text)));
    return text;
}

/// Amounts and dates as a user in the United States reads them, whatever the machine's locale.
class UsLocaleTest : public testing::Test
{
protected:
    void SetUp() override { m_environment.set("LC_ALL", "en_US.UTF-8"); }
    ScopedEnvironment m_environment;
};

} // namespace testing_support
