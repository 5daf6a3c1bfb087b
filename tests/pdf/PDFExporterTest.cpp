#include "pdf/PDFExporter.h"

#include "core/parse/X12Parser.h"

#include "../core/TestSupport.h"
#include "common/Files.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

struct Word
{
    double xMin, yMin, xMax, yMax; // points from the top-left corner, as pdftotext gives them
    std::string text;
};

struct Page
{
    double width = 0, height = 0;
    std::vector<Word> words;

    std::string text() const
    {
        std::string all;
        for (const Word &w : words)
            all += (all.empty() ? "" : " ") + w.text;
        return all;
    }
};

std::string run(const std::string &command)
{
    std::string output;
    FILE *pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return output;
    char buffer[65536];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, got);
    ::pclose(pipe);
    return output;
}

double attribute(const std::string &tag, const std::string &name)
{
    const std::size_t at = tag.find(name + "=\"");
    return at == std::string::npos ? 0 : std::atof(tag.c_str() + at + name.size() + 2);
}

/// Every word of every page, read back with pdftotext.
std::vector<Page> readPages(const fs::path &pdf)
{
    const std::string xml = run("pdftotext -bbox-layout '" + pdf.string() + "' - 2>/dev/null");
    std::vector<Page> pages;
    for (std::size_t at = 0; (at = xml.find('<', at)) != std::string::npos;) {
        const std::size_t close = xml.find('>', at);
        const std::string tag = xml.substr(at, close - at);
        if (tag.starts_with("<page ")) {
            pages.push_back({attribute(tag, "width"), attribute(tag, "height"), {}});
        } else if (tag.starts_with("<word ") && !pages.empty()) {
            const std::size_t end = xml.find("</word>", close);
            pages.back().words.push_back({attribute(tag, "xMin"), attribute(tag, "yMin"),
                                          attribute(tag, "xMax"), attribute(tag, "yMax"),
                                          xml.substr(close + 1, end - close - 1)});
        }
        at = close;
    }
    return pages;
}

class PDFExporterTest : public files::ScratchTest
{
protected:
    void SetUp() override
    {
        ScratchTest::SetUp();
        m_environment.set("LC_ALL", "en_US.UTF-8");
    }

    fs::path exportText(const std::string &text, const std::string &name)
    {
        auto document = parseOk(text, name);
        const fs::path pdf = m_dir / (name + ".pdf");
        if (document) {
            const auto written = PDFExporter::write(*document, pdf.string());
            EXPECT_TRUE(written) << written.error().description();
        }
        return pdf;
    }

    ScopedEnvironment m_environment;
};

TEST_F(PDFExporterTest, PagesMetadataTitleBlockAndFooters)
{
    const fs::path pdf = exportText(readData("837p-x12_valid.txt"), "claims.edi");
    const std::string info = run("pdfinfo '" + pdf.string() + "'");
    EXPECT_NE(info.find("Title:           claims.edi\n"), std::string::npos) << info;
    EXPECT_NE(info.find("Creator:         Kelvane\n"), std::string::npos) << info;
    EXPECT_NE(info.find("Page size:       612 x 792 pts (letter)"), std::string::npos) << info;

    const std::vector<Page> pages = readPages(pdf);
    ASSERT_GE(pages.size(), 3u);
    EXPECT_NE(info.find("Pages:           " + std::to_string(pages.size()) + "\n"),
              std::string::npos);

    // The title block, on page 1 only: the name at the top, then the summary, then the findings.
    const Page &first = pages.front();
    EXPECT_EQ(first.words.front().text, "claims.edi");
    EXPECT_NEAR(first.words.front().xMin, 48, 0.5);
    EXPECT_NE(first.text().find("claims.edi 38 segments \u00B7 837 Health Care Claim Findings 22 "
                                "errors, 0 warnings \u25CF Segment 36 (SE) \u2014 error: SE01 says "
                                "25 segments;"),
              std::string::npos)
        << first.text();
    for (std::size_t n = 1; n < pages.size(); ++n)
        EXPECT_EQ(pages[n].text().find("38 segments"), std::string::npos);

    std::set<long> lefts;
    std::size_t marks = 0;
    for (std::size_t n = 0; n < pages.size(); ++n) {
        SCOPED_TRACE(n + 1);
        const Page &page = pages[n];
        EXPECT_EQ(page.width, 612);
        EXPECT_EQ(page.height, 792);
        // The footer: last on the page, its box's lower edge 48 points above the bottom, centred.
        const std::vector<Word> &w = page.words;
        ASSERT_GE(w.size(), 4u);
        const std::string footer = w[w.size() - 4].text + " " + w[w.size() - 3].text + " " +
                                   w[w.size() - 2].text + " " + w.back().text;
        EXPECT_EQ(footer, "claims.edi \u00B7 Page " + std::to_string(n + 1));
        EXPECT_NEAR(w.back().yMax, 792 - 48, 1.0);
        EXPECT_NEAR((w[w.size() - 4].xMin + w.back().xMax) / 2, 306, 1.0);
        // Body words: on the indent grid where a line starts, never below the bottom limit.
        // A visual line's left edge is its leftmost word (pdftotext may split lines at wide gaps).
        // A mark stands in the indent step before its line's text, on the same line.
        std::map<long, double> lineLefts;
        for (std::size_t i = 0; i + 4 < w.size(); ++i) {
            EXPECT_LE(w[i].yMax, 792 - 76 + 0.01) << w[i].text;
            EXPECT_LE(w[i].xMax, 564 + 0.01) << w[i].text;
            if (w[i].text == "\u25CF") {
                ++marks;
                EXPECT_NEAR(w[i + 1].xMin - w[i].xMin, 10, 0.01) << w[i + 1].text;
                EXPECT_NEAR(w[i + 1].yMax, w[i].yMax, 1) << w[i + 1].text;
                continue;
            }
            auto [it, added] = lineLefts.emplace(std::lround(w[i].yMin * 10), w[i].xMin);
            it->second = std::min(it->second, w[i].xMin);
        }
        for (const auto &[y, x] : lineLefts)
            lefts.insert(std::lround(x));
    }
    // Steps of 14 points: interchange, group, set, the claim's loops, segments and elements.
    EXPECT_EQ(lefts, (std::set<long>{48, 62, 76, 90, 104, 118, 132, 146, 160, 174}));
    // Each of the 22 findings, the 7 segments they concern and the 13 elements they name.
    EXPECT_EQ(marks, 22u + 7 + 13);
    // Later pages start their body at the top, 744 points up (plus the line's space above).
    EXPECT_NEAR(pages[1].words.front().yMin, 792 - 744 + 1, 0.5);
}

TEST_F(PDFExporterTest, LongLinesWrapWithinPagesOrContinueOnTheNext)
{
    // Segment n of the first kind holds 60 tokens "Wnn", shown once in its element line and once
    // in its raw line: wrapped onto several visual lines, none may straddle a page. Then a note of
    // 3,000 words is taller than a page, as the segment's subtitle, its element line and its raw
    // text: every word is drawn, in order, within the body of the pages.
    std::string text = "ST*837*1~";
    for (int n = 10; n < 99; ++n) {
        text += "NTE*ADD*";
        for (int k = 0; k < 60; ++k)
            text += "W" + std::to_string(n) + " ";
        text += "~";
    }
    text += "NTE*ADD*";
    for (int i = 1; i <= 3000; ++i) {
        char word[8];
        std::snprintf(word, sizeof word, "w%04d", i);
        text += (i > 1 ? " " : "") + std::string(word);
    }
    const std::vector<Page> pages = readPages(exportText(text + "~N3*AFTER~SE*93*1~", "long.x12"));
    ASSERT_GE(pages.size(), 9u);
    std::vector<std::string> words;
    int afterTheNote = 0;
    for (const Page &page : pages) {
        std::map<std::string, int> tokens;
        for (Word word : page.words) {
            // A raw line's first token is joined to "NTE*ADD*".
            if (word.text.starts_with("NTE*ADD*"))
                word.text.erase(0, 8);
            if (word.text.size() == 3 && word.text[0] == 'W')
                ++tokens[word.text];
            if (word.text.ends_with("AFTER"))
                afterTheNote += words.size() == 9000;
            if (word.text.size() == 5 && word.text[0] == 'w') {
                words.push_back(word.text);
                EXPECT_LE(word.yMax, 792 - 76 + 0.01) << word.text;
                EXPECT_GE(word.yMin, 792 - 744 - 0.01) << word.text;
            }
        }
        for (const auto &[token, count] : tokens)
            EXPECT_EQ(count % 60, 0) << token;
    }
    ASSERT_EQ(words.size(), 9000u);
    for (std::size_t i = 0; i < words.size(); ++i) {
        char expected[8];
        std::snprintf(expected, sizeof expected, "w%04zu", i % 3000 + 1);
        ASSERT_EQ(words[i], expected) << "word " << i;
    }
    EXPECT_EQ(afterTheNote, 3); // N3's subtitle, element line and raw line
}

TEST_F(PDFExporterTest, ControlCharactersAreDrawnAsSymbols)
{
    auto document = parseOk("ST*837*1~NM1*IL*1*DOE\x1B[2J\x7F*JOHN\r\n\x01~SE*3*1~", "ctl.x12");
    ASSERT_TRUE(document);
    const fs::path pdf = m_dir / "ctl.pdf";
    ASSERT_TRUE(PDFExporter::write(*document, pdf.string()));
    const std::string text = run("pdftotext -layout '" + pdf.string() + "' - 2>/dev/null");
    // Line ends became line feeds when the text was read.
    EXPECT_NE(text.find("NM103 Last Name or Organization: DOE\u241B[2J\u2421\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("NM1*IL*1*DOE\u241B[2J\u2421*JOHN\u240A\u2401\n"), std::string::npos)
        << text;
    EXPECT_EQ(text.find('\x1B'), std::string::npos);
}

TEST_F(PDFExporterTest, ALinkToAReportStaysALink)
{
    auto document = parseOk("ST*837*1~SE*2*1~", "a.x12");
    ASSERT_TRUE(document);
    fs::create_directories(m_dir / "real");
    std::ofstream(m_dir / "real" / "r.pdf") << "previous";
    fs::create_symlink(m_dir / "real" / "r.pdf", m_dir / "latest.pdf");
    const auto viaLink = PDFExporter::write(*document, (m_dir / "latest.pdf").string());
    ASSERT_TRUE(viaLink);
    EXPECT_EQ(viaLink->path, (m_dir / "real" / "r.pdf").string());
    EXPECT_TRUE(fs::is_symlink(m_dir / "latest.pdf"));
    std::ifstream report(m_dir / "real" / "r.pdf", std::ios::binary);
    std::string start(5, '\0');
    report.read(start.data(), 5);
    EXPECT_EQ(start, "%PDF-");
}

} // namespace

int main(int argc, char **argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
