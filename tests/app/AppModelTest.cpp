#include "app/AppModel.h"
#include "app/AppTestSupport.h"
#include "common/Files.h"
#include "core/model/X12Document.h"

#include <QObject>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace app_testing;
using files::listing;
using files::slurp;

namespace {

using AppModelTest = AppTest;

/// A claim whose report runs to a few hundred pages.
std::string bigClaim()
{
    std::string big;
    while (big.size() < 400'000)
        big += "NM1*85*2*ACME CLINIC*****XX*1234567890~N3*12 MAIN ST~";
    return big;
}

TEST_F(AppModelTest, OpenSetsStateInOrder)
{
    AppModel model(m_platform);
    QStringList order;
    for (auto [signal, name] : std::initializer_list<std::pair<void (AppModel::*)(), const char *>>{
             {&AppModel::documentChanged, "document"},
             {&AppModel::fileURLChanged, "fileURL"},
             {&AppModel::errorMessageChanged, "errorMessage"},
             {&AppModel::loadingChanged, "loading"}})
        QObject::connect(&model, signal, [&order, name] { order << name; });

    const QString first = write("claim.x12", claim);
    model.open(first);
    // The open runs on a worker: nothing but the loading state has changed yet.
    EXPECT_EQ(order, QStringList{"loading"});
    EXPECT_EQ(model.loadingFile(), first);
    EXPECT_FALSE(model.document());
    ASSERT_TRUE(waitUntilIdle(model));
    EXPECT_EQ(order, (QStringList{"loading", "document", "fileURL", "errorMessage", "loading"}));
    ASSERT_TRUE(model.document());
    EXPECT_EQ(model.fileURL(), first);
    EXPECT_FALSE(model.errorMessage());
    EXPECT_FALSE(model.loadingFile());
    EXPECT_EQ(m_platform.recent, QStringList{first});

    // A failed open drops the document and names the failed file.
    order.clear();
    const QString empty = write("empty.x12", "\n\n");
    model.setSearchText(QStringLiteral("nm1"));
    model.setViewMode(AppModel::ViewMode::raw);
    openAndWait(model, empty);
    EXPECT_EQ(order, (QStringList{"loading", "document", "fileURL", "errorMessage", "loading"}));
    EXPECT_FALSE(model.document());
    EXPECT_EQ(model.fileURL(), empty);
    EXPECT_EQ(model.errorMessage(), QStringLiteral("The file is empty."));
    EXPECT_EQ(m_platform.recent.size(), 1);
    EXPECT_EQ(model.searchText(), QStringLiteral("nm1"));
    EXPECT_EQ(model.viewMode(), AppModel::ViewMode::raw);

    openAndWait(model, QString::fromStdString((m_dir / "missing.x12").string()));
    ASSERT_TRUE(model.errorMessage());
    EXPECT_TRUE(model.errorMessage()->contains(QStringLiteral("No such file or directory")));

    // ISO Latin 1 opens; a later good open clears the message.
    openAndWait(model, write("latin1.x12", "NM1*IL*1*M\xDCLLER~"));
    ASSERT_TRUE(model.document());
    EXPECT_FALSE(model.errorMessage());
    EXPECT_EQ(model.document()->segment(0).element(2), "M\u00DCLLER");
}

// A large document is searched on a worker: the window goes on, the list in view stays until
// the new one arrives, and only the latest search, for the document shown, ever arrives.
TEST_F(AppModelTest, LargeDocumentsAreSearchedOnWorkers)
{
    std::string big;
    for (int i = 0; i < 250'000; ++i)
        big += i % 1000 == 7 ? "ZZZ*RARE VALUE~" : "NM1*85*2*COMMON NAME~";
    AppModel model(m_platform);
    int announced = 0;
    QObject::connect(&model, &AppModel::matchesChanged, [&announced] { ++announced; });
    openAndWait(model, write("big.x12", big));
    ASSERT_EQ(model.filteredSegments()->size(), 250'000u); // no search text: every segment

    model.setSearchText(QStringLiteral("rare valu"));
    EXPECT_TRUE(model.isSearching());
    EXPECT_EQ(model.filteredSegments()->size(), 250'000u); // the list before, until the result
    model.setSearchText(QStringLiteral("rare value"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !model.isSearching(); }, 10'000));
    QTest::qWait(50); // the first search's result, had it been kept
    EXPECT_EQ(announced, 1);
    EXPECT_EQ(model.filteredSegments()->size(), 250u);
    EXPECT_EQ(model.filteredSegments()->front(), 7u);

    // A file opened while its predecessor is searched shows its own matches, never the other's.
    model.setSearchText(QStringLiteral("common"));
    ASSERT_TRUE(model.isSearching());
    openAndWait(model, write("claim.x12", claim));
    EXPECT_FALSE(model.isSearching());
    QTest::qWait(50);
    EXPECT_TRUE(model.filteredSegments()->empty());
    model.setSearchText(QStringLiteral("nm1"));
    EXPECT_EQ(*model.filteredSegments(), (std::vector<std::uint32_t>{3, 5}));

    // And the other way: the large file's search for "nm1" starts with an empty list (it may
    // have ended already, as the open was awaited).
    openAndWait(model, write("big2.x12", big));
    EXPECT_TRUE(model.filteredSegments()->empty() || model.filteredSegments()->size() == 249'750u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !model.isSearching(); }, 10'000));
    EXPECT_EQ(model.filteredSegments()->size(), 249'750u);
    model.setSearchText(QStringLiteral("rare"));
    // The model goes while its worker searches: nothing of it is touched afterwards.
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
    EXPECT_FALSE(model.isBusy());

    m_platform.openAnswer = write("claims.edi", claim);
    model.showOpenPanel();
    ASSERT_TRUE(waitUntilIdle(model));
    ASSERT_TRUE(model.document());

    model.exportPDF();
    EXPECT_EQ(m_platform.lastProposedName, QStringLiteral("claims.pdf"));
    EXPECT_EQ(m_platform.lastMessage, QStringLiteral("Export the formatted X12 document as PDF"));
    EXPECT_FALSE(model.isBusy()); // cancelled at the panel
    EXPECT_TRUE(m_platform.shown.isEmpty());

    // The export runs on a worker; when it is done the window is told where the report is.
    const QString pdf = QString::fromStdString((m_dir / "out.pdf").string());
    m_platform.saveAnswer = pdf;
    model.exportPDF();
    ASSERT_TRUE(model.currentExport());
    EXPECT_EQ(model.currentExport()->destination, pdf);
    EXPECT_EQ(model.currentExport()->fileName, QStringLiteral("claims.edi"));
    model.exportPDF(); // one export at a time: a second request while it runs does nothing
    ASSERT_TRUE(waitUntilIdle(model));
    EXPECT_EQ(model.lastExport(), pdf);
    EXPECT_EQ(m_platform.shown, QStringList{pdf});
    EXPECT_TRUE(slurp(m_dir / "out.pdf").starts_with("%PDF-"));
    EXPECT_FALSE(model.errorMessage());
    model.dismissLastExport();
    EXPECT_FALSE(model.lastExport());

    m_platform.saveAnswer = QString::fromStdString((m_dir / "no" / "out.pdf").string());
    model.exportPDF();
    ASSERT_TRUE(waitUntilIdle(model));
    EXPECT_EQ(model.errorMessage(),
              QStringLiteral("PDF export failed: Could not create the PDF context. \u201C") +
                  QString::fromStdString((m_dir / "no" / "out.pdf").string()) +
                  QStringLiteral("\u201D: the folder \u201C") +
                  QString::fromStdString((m_dir / "no").string()) +
                  QStringLiteral("\u201D does not exist."));
    EXPECT_FALSE(model.lastExport());
    EXPECT_TRUE(model.document());

    // The proposed name drops the last extension, but a leading dot is part of the name.
    for (const auto &[name, proposed] :
         {std::pair{"noextension", "noextension.pdf"}, std::pair{".hidden.edi", ".hidden.pdf"},
          std::pair{".edi", ".edi.pdf"}, std::pair{"a.b.txt", "a.b.pdf"}}) {
        openAndWait(model, write(name, claim));
        m_platform.saveAnswer.reset();
        model.exportPDF();
        EXPECT_EQ(m_platform.lastProposedName, QString::fromLatin1(proposed)) << name;
    }
}

TEST_F(AppModelTest, ExportAsCSV)
{
    AppModel model(m_platform);
    openAndWait(model, write("claims.edi", claim));

    // Proposed beside the file; the table is for spreadsheets, so it starts with a byte-order mark.
    const QString csv = QString::fromStdString((m_dir / "claims.csv").string());
    m_platform.saveAnswer = csv;
    model.exportCSV();
    EXPECT_EQ(m_platform.lastProposedName, csv);
    ASSERT_TRUE(waitUntilIdle(model));
    EXPECT_EQ(model.lastExport(), csv);
    EXPECT_EQ(m_platform.shown, QStringList{csv});
    EXPECT_TRUE(slurp(m_dir / "claims.csv").starts_with("\xEF\xBB\xBFPath,Position,Tag,"));

    // Never the file itself, whatever the name it is chosen by.
    fs::create_symlink(m_dir / "claims.edi", m_dir / "link.csv");
    for (const std::string name : {"claims.edi", "link.csv"}) {
        SCOPED_TRACE(name);
        const QString chosen = QString::fromStdString((m_dir / name).string());
        m_platform.saveAnswer = chosen;
        model.exportCSV();
        EXPECT_FALSE(model.isBusy());
        EXPECT_EQ(model.errorMessage(), QStringLiteral("CSV export failed: \u201C") + chosen +
                                            QStringLiteral("\u201D is the file being shown; "
                                                           "choose another name."));
        EXPECT_EQ(slurp(m_dir / "claims.edi"), claim);
    }

    m_platform.saveAnswer = QString::fromStdString((m_dir / "no" / "out.csv").string());
    model.exportCSV();
    ASSERT_TRUE(waitUntilIdle(model));
    EXPECT_TRUE(model.errorMessage()->startsWith(QStringLiteral("CSV export failed: Could not "
                                                                "write the CSV file \u201C")))
        << model.errorMessage()->toStdString();
}

TEST_F(AppModelTest, CancelledExportWritesNothingAndIsNoFailure)
{
    AppModel model(m_platform);
    openAndWait(model, write("big.x12", bigClaim()));
    std::ofstream(m_dir / "kept.pdf") << "%PDF-1.4 previous";
    m_platform.saveAnswer = QString::fromStdString((m_dir / "kept.pdf").string());
    model.exportPDF();
    model.cancelExport();
    EXPECT_TRUE(model.currentExport()->cancelling);
    ASSERT_TRUE(waitUntilIdle(model));
    EXPECT_FALSE(model.errorMessage());
    EXPECT_FALSE(model.lastExport());
    EXPECT_TRUE(m_platform.shown.isEmpty());
    EXPECT_EQ(slurp(m_dir / "kept.pdf"), "%PDF-1.4 previous");
    EXPECT_EQ(listing(m_dir), (std::set<std::string>{"big.x12", "kept.pdf"}));
}

// The races of a window whose work runs on workers, each made certain by a gate.

TEST_F(AppModelTest, LaterOpenWinsOverAnEarlierSlowOne)
{
    AppModel model(m_platform);
    Latch slowGate;
    const QString slow = write("slow.x12", claim);
    const QString fast = write("fast.x12", "N3*FAST~");
    model.setLoader([&](const QString &path) {
        if (path == slow)
            slowGate.wait();
        return AppModel::load(path);
    });
    model.open(slow);
    slowGate.awaitWaiter();
    model.open(fast);
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.document() != nullptr; }, 10'000));
    EXPECT_EQ(model.fileURL(), fast);
    EXPECT_EQ(model.document()->segment(0).tag(), "N3");
    EXPECT_FALSE(model.loadingFile());

    // The slow one finishes later and is dropped.
    slowGate.open();
    QTest::qWait(200);
    EXPECT_EQ(model.fileURL(), fast);
    EXPECT_EQ(model.document()->segment(0).tag(), "N3");
    EXPECT_EQ(m_platform.recent, QStringList{fast});
}

TEST_F(AppModelTest, OpenDuringExportShowsTheNewFileWhileTheExportFinishes)
{
    AppModel model(m_platform);
    openAndWait(model, write("first.x12", claim));
    // The export writes into a pipe, so it waits, mid-export, until the test reads it.
    const fs::path pipe = m_dir / "report.pdf";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    m_platform.saveAnswer = QString::fromStdString(pipe.string());
    model.exportPDF();
    ASSERT_TRUE(model.currentExport());

    openAndWait(model, write("second.x12", "N3*SECOND~"));
    EXPECT_EQ(model.document()->fileName(), "second.x12");
    ASSERT_TRUE(model.currentExport()); // still writing the first file's report

    std::string report;
    std::thread reader([&] { report = slurp(pipe); });
    ASSERT_TRUE(waitUntilIdle(model));
    reader.join();
    EXPECT_TRUE(report.starts_with("%PDF-"));
    EXPECT_NE(report.find("%%EOF", report.size() - 16), std::string::npos);
    EXPECT_FALSE(model.errorMessage());
    EXPECT_EQ(model.document()->fileName(), "second.x12");
}

TEST_F(AppModelTest, ClosingDuringExportLeavesNoPartialFile)
{
    const QString big = write("big.x12", bigClaim());
    {
        AppModel model(m_platform);
        openAndWait(model, big);
        m_platform.saveAnswer = QString::fromStdString((m_dir / "report.pdf").string());
        model.exportPDF();
        ASSERT_TRUE(model.currentExport());
        QTest::qWait(50);
    }
    // The model is gone: its export stopped and took its unfinished file with it.
    EXPECT_EQ(listing(m_dir), std::set<std::string>{"big.x12"});
}

TEST_F(AppModelTest, QuittingDuringOpenIsSafe)
{
    Latch gate;
    std::atomic<bool> finished = false;
    {
        AppModel model(m_platform);
        model.setLoader([&](const QString &path) {
            gate.wait();
            auto loaded = AppModel::load(path);
            finished = true;
            return loaded;
        });
        model.open(write("claim.x12", claim));
        gate.awaitWaiter();
    }
    // The worker outlives the model; its result goes nowhere.
    gate.open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.load(); }, 10'000));
    QTest::qWait(50);
}

} // namespace
