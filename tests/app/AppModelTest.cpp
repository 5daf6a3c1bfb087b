#include "app/AppModel.h"
#include "app/AppTestSupport.h"
#include "core/X12Document.h"

#include <QObject>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;
using namespace app_testing;

namespace {

using AppModelTest = AppTest;

TEST_F(AppModelTest, OpenSetsStateInOrder)
{
    AppModel model(m_platform);
    QStringList order;
    for (auto [signal, name] : std::initializer_list<std::pair<void (AppModel::*)(), const char *>>{
             {&AppModel::documentChanged, "document"},
             {&AppModel::fileURLChanged, "fileURL"},
             {&AppModel::errorMessageChanged, "errorMessage"}})
        QObject::connect(&model, signal, [&order, name] { order << name; });

    const QString first = write("claim.x12", claim);
    model.open(first);
    EXPECT_EQ(order, (QStringList{"document", "fileURL", "errorMessage"}));
    ASSERT_TRUE(model.document());
    EXPECT_EQ(model.fileURL(), first);
    EXPECT_FALSE(model.errorMessage());
    EXPECT_EQ(m_platform.recent, QStringList{first});

    // A failed open drops the document and names the failed file.
    order.clear();
    const QString empty = write("empty.x12", "\n\n");
    model.setSearchText(QStringLiteral("nm1"));
    model.setViewMode(AppModel::ViewMode::raw);
    model.open(empty);
    EXPECT_EQ(order, (QStringList{"document", "fileURL", "errorMessage"}));
    EXPECT_FALSE(model.document());
    EXPECT_EQ(model.fileURL(), empty);
    EXPECT_EQ(model.errorMessage(), QStringLiteral("The file is empty."));
    EXPECT_EQ(m_platform.recent.size(), 1);
    EXPECT_EQ(model.searchText(), QStringLiteral("nm1"));
    EXPECT_EQ(model.viewMode(), AppModel::ViewMode::raw);

    model.open(QString::fromStdString((m_dir / "missing.x12").string()));
    ASSERT_TRUE(model.errorMessage());
    EXPECT_TRUE(model.errorMessage()->contains(QStringLiteral("No such file or directory")));

    // ISO Latin 1 opens; a later good open clears the message.
    model.open(write("latin1.x12", "NM1*IL*1*M\xDCLLER~"));
    ASSERT_TRUE(model.document());
    EXPECT_FALSE(model.errorMessage());
    EXPECT_EQ(model.document()->segment(0).element(2), "M\u00DCLLER");
}

TEST_F(AppModelTest, ViewModes)
{
    EXPECT_EQ(AppModel::title(AppModel::ViewMode::flat), QStringLiteral("Segments"));
    EXPECT_EQ(AppModel::viewMode(QStringLiteral("Raw")), AppModel::ViewMode::raw);
    EXPECT_FALSE(AppModel::viewMode(QStringLiteral("raw")));
    EXPECT_FALSE(AppModel::viewMode(QStringLiteral("Flat")));
}

TEST_F(AppModelTest, FilteredSegments)
{
    AppModel model(m_platform);
    EXPECT_TRUE(model.filteredSegments()->empty());
    model.open(write("claim.x12", claim));
    const auto search = [&model](const QString &text) {
        model.setSearchText(text);
        return *model.filteredSegments();
    };
    using V = std::vector<std::uint32_t>;
    EXPECT_EQ(search({}).size(), 9u);
    EXPECT_EQ(search(QStringLiteral("   \t")).size(), 9u);
    // NM1 in any case, trimmed; ZZZ matches by its raw text "nm1 here".
    EXPECT_EQ(search(QStringLiteral("  NM1 ")), (V{3, 5}));
    // By name only: "Party Address" for N3; "segment" for the unknown ZZZ ("Segment ZZZ").
    EXPECT_EQ(search(QStringLiteral("address")), (V{4}));
    EXPECT_EQ(search(QStringLiteral("segment")), (V{5}));
    EXPECT_EQ(search(QStringLiteral("\nnm1")), V{});
    EXPECT_EQ(search(QStringLiteral("nothing like this")), V{});
}

TEST_F(AppModelTest, PanelsAndExport)
{
    AppModel model(m_platform);
    model.exportPDF();
    EXPECT_EQ(m_platform.panels, 0); // no document, no panel

    model.showOpenPanel();
    EXPECT_EQ(
        m_platform.lastMessage,
        QStringLiteral("Choose an X12 / EDI file (837, 835, 834, 270, 271, 277, 999, \u2026)"));
    EXPECT_FALSE(model.fileURL()); // cancelled: nothing changes

    m_platform.openAnswer = write("claims.edi", claim);
    model.showOpenPanel();
    ASSERT_TRUE(model.document());

    model.exportPDF();
    EXPECT_EQ(m_platform.lastProposedName, QStringLiteral("claims.pdf"));
    EXPECT_EQ(m_platform.lastMessage, QStringLiteral("Export the formatted X12 document as PDF"));
    EXPECT_TRUE(m_platform.shown.isEmpty());

    const QString pdf = QString::fromStdString((m_dir / "out.pdf").string());
    m_platform.saveAnswer = pdf;
    model.exportPDF();
    EXPECT_EQ(m_platform.shown, QStringList{pdf});
    EXPECT_TRUE(fs::exists(m_dir / "out.pdf"));
    EXPECT_FALSE(model.errorMessage());

    m_platform.saveAnswer = QString::fromStdString((m_dir / "no" / "out.pdf").string());
    model.exportPDF();
    EXPECT_EQ(model.errorMessage(),
              QStringLiteral("PDF export failed: Could not create the PDF context. \u201C") +
                  QString::fromStdString((m_dir / "no").string()) +
                  QStringLiteral("\u201D: No such file or directory."));
    EXPECT_TRUE(model.document());

    model.open(write("noextension", claim));
    model.exportPDF();
    EXPECT_EQ(m_platform.lastProposedName, QStringLiteral("noextension.pdf"));

    // A cancelled export writes nothing, leaves an existing file alone and is no failure.
    std::string big;
    while (big.size() < 200000)
        big += "NM1*85*2*ACME CLINIC*****XX*1234567890~N3*12 MAIN ST~";
    model.open(write("big.x12", big));
    std::ofstream(m_dir / "kept.pdf") << "previous";
    m_platform.saveAnswer = QString::fromStdString((m_dir / "kept.pdf").string());
    m_platform.cancelAfter = 2;
    m_platform.shown.clear();
    model.exportPDF();
    EXPECT_FALSE(model.errorMessage());
    EXPECT_TRUE(m_platform.shown.isEmpty());
    EXPECT_EQ(m_platform.progressLabels.back(), QStringLiteral("Exporting big.x12\u2026"));
    std::ifstream kept(m_dir / "kept.pdf");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "previous");
}

} // namespace
