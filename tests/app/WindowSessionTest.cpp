#include "app/WindowSession.h"
#include "app/FindingList.h"
#include "app/AppTestSupport.h"
#include "common/Files.h"
#include "core/model/X12Document.h"

#include <QFileInfo>
#include <QObject>
#include <QScopeGuard>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include <sys/stat.h>

namespace fs = std::filesystem;
using namespace app_testing;
using files::listing;
using files::slurp;

namespace {

using WindowSessionTest = AppTest;

TEST_F(WindowSessionTest, OpenSetsStateInOrder)
{
    WindowSession session(m_platform);
    QStringList order;
    for (auto [signal, name] :
         std::initializer_list<std::pair<void (WindowSession::*)(), const char *>>{
             {&WindowSession::documentChanged, "document"},
             {&WindowSession::filePathChanged, "filePath"},
             {&WindowSession::errorMessageChanged, "errorMessage"},
             {&WindowSession::loadingChanged, "loading"}})
        QObject::connect(&session, signal, [&order, name] { order << name; });

    const QString first = write("claim.x12", claim);
    session.open(first);
    // The open runs on a worker: nothing but the loading state has changed yet.
    EXPECT_EQ(order, QStringList{"loading"});
    EXPECT_EQ(session.loadingFile(), first);
    EXPECT_FALSE(session.document());
    ASSERT_TRUE(waitUntilIdle(session));
    EXPECT_EQ(order, (QStringList{"loading", "document", "filePath", "errorMessage", "loading"}));
    ASSERT_TRUE(session.document());
    EXPECT_EQ(session.filePath(), first);
    EXPECT_FALSE(session.errorMessage());
    EXPECT_FALSE(session.loadingFile());
    EXPECT_EQ(m_platform.recent, QStringList{first});

    // A failed open drops the document and names the failed file.
    order.clear();
    const QString empty = write("empty.x12", "\n\n");
    session.setSearchText(QStringLiteral("nm1"));
    session.setViewMode(WindowSession::ViewMode::raw);
    openAndWait(session, empty);
    EXPECT_EQ(order, (QStringList{"loading", "document", "filePath", "errorMessage", "loading"}));
    EXPECT_FALSE(session.document());
    EXPECT_EQ(session.filePath(), empty);
    EXPECT_EQ(session.errorMessage(), QStringLiteral("The file is empty."));
    EXPECT_EQ(m_platform.recent.size(), 1);
    EXPECT_EQ(session.searchText(), QStringLiteral("nm1"));
    EXPECT_EQ(session.viewMode(), WindowSession::ViewMode::raw);

    openAndWait(session, QString::fromStdString((m_dir / "missing.x12").string()));
    ASSERT_TRUE(session.errorMessage());
    EXPECT_TRUE(session.errorMessage()->contains(QStringLiteral("No such file or directory")));
}

// A large document is searched on a worker: the window goes on, the list in view stays until
// the new one arrives, and only the latest search, for the document shown, ever arrives.
TEST_F(WindowSessionTest, LargeDocumentsAreSearchedOnWorkers)
{
    std::string big;
    for (int i = 0; i < 250'000; ++i)
        big += i % 1000 == 7 ? "ZZZ*RARE VALUE~" : "NM1*85*2*COMMON NAME~";
    WindowSession session(m_platform);
    int announced = 0;
    QObject::connect(&session, &WindowSession::matchesChanged, [&announced] { ++announced; });
    openAndWait(session, write("big.x12", big));
    ASSERT_EQ(session.filteredSegments()->size(), 250'000u); // no search text: every segment

    session.setSearchText(QStringLiteral("rare valu"));
    EXPECT_TRUE(session.isSearching());
    EXPECT_EQ(session.filteredSegments()->size(), 250'000u); // the list before, until the result
    session.setSearchText(QStringLiteral("rare value"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !session.isSearching(); }, 10'000));
    QTest::qWait(50); // the first search's result, had it been kept
    EXPECT_EQ(announced, 1);
    EXPECT_EQ(session.filteredSegments()->size(), 250u);
    EXPECT_EQ(session.filteredSegments()->front(), 7u);

    // A file opened while its predecessor is searched shows its own matches, never the other's.
    session.setSearchText(QStringLiteral("common"));
    ASSERT_TRUE(session.isSearching());
    openAndWait(session, write("claim.x12", claim));
    EXPECT_FALSE(session.isSearching());
    QTest::qWait(50);
    EXPECT_TRUE(session.filteredSegments()->empty());
    session.setSearchText(QStringLiteral("nm1"));
    EXPECT_EQ(*session.filteredSegments(), (std::vector<std::uint32_t>{3, 5}));

    // And the other way: the large file's search for "nm1" starts with an empty list (it may
    // have ended already, as the open was awaited).
    openAndWait(session, write("big2.x12", big));
    EXPECT_TRUE(session.filteredSegments()->empty() ||
                session.filteredSegments()->size() == 249'750u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !session.isSearching(); }, 10'000));
    EXPECT_EQ(session.filteredSegments()->size(), 249'750u);
    session.setSearchText(QStringLiteral("rare"));
    // The session goes while its worker searches: nothing of it is touched afterwards.
}

TEST_F(WindowSessionTest, PanelsAndExport)
{
    WindowSession session(m_platform);
    session.exportPDF();
    EXPECT_EQ(m_platform.panels, 0); // no document, no panel

    // The open panel starts in the folder of the last file opened, then of the file shown.
    fs::create_directories(m_dir / "reports");
    const QString dir = QString::fromStdString(m_dir.string());
    m_platform.recent = QStringList{dir + QStringLiteral("/reports/old.edi")};
    session.showOpenPanel();
    EXPECT_EQ(
        m_platform.lastMessage,
        QStringLiteral("Choose an X12 / EDI file (837, 835, 834, 270, 271, 277, 999, \u2026)"));
    EXPECT_EQ(m_platform.lastFolder, dir + QStringLiteral("/reports"));
    EXPECT_FALSE(session.filePath()); // cancelled: nothing changes
    EXPECT_FALSE(session.isBusy());

    m_platform.openAnswer = write("claims.edi", claim);
    session.showOpenPanel();
    ASSERT_TRUE(waitUntilIdle(session));
    ASSERT_TRUE(session.document());
    session.showOpenPanel();
    EXPECT_EQ(m_platform.lastFolder, dir);
    ASSERT_TRUE(waitUntilIdle(session));

    // A report is proposed beside the file, until one is exported elsewhere.
    session.exportPDF();
    EXPECT_EQ(m_platform.lastProposedName, dir + QStringLiteral("/claims.pdf"));
    EXPECT_EQ(m_platform.lastMessage, QStringLiteral("Export the formatted X12 document as PDF"));
    EXPECT_FALSE(session.isBusy()); // cancelled at the panel
    EXPECT_TRUE(m_platform.shown.isEmpty());

    // The export runs on a worker; when it is done the window is told where the report is.
    const QString pdf = dir + QStringLiteral("/reports/out.pdf");
    m_platform.saveAnswer = pdf;
    session.exportPDF();
    ASSERT_TRUE(session.currentExport());
    EXPECT_EQ(session.currentExport()->destination, pdf);
    EXPECT_EQ(session.currentExport()->fileName, QStringLiteral("claims.edi"));
    session.exportPDF(); // one export at a time: a second request while it runs does nothing
    ASSERT_TRUE(waitUntilIdle(session));
    EXPECT_EQ(session.lastExport(), pdf);
    EXPECT_EQ(m_platform.shown, QStringList{pdf});
    EXPECT_TRUE(slurp(m_dir / "reports" / "out.pdf").starts_with("%PDF-"));
    EXPECT_FALSE(session.errorMessage());
    session.dismissLastExport();
    EXPECT_FALSE(session.lastExport());
    m_platform.saveAnswer.reset();
    session.exportCSV();
    EXPECT_EQ(m_platform.lastProposedName, dir + QStringLiteral("/reports/claims.csv"));

    m_platform.saveAnswer = QString::fromStdString((m_dir / "no" / "out.pdf").string());
    session.exportPDF();
    ASSERT_TRUE(waitUntilIdle(session));
    EXPECT_EQ(session.errorMessage(),
              QStringLiteral("PDF export failed: Could not create the PDF context. \u201C") +
                  QString::fromStdString((m_dir / "no" / "out.pdf").string()) +
                  QStringLiteral("\u201D: the folder \u201C") +
                  QString::fromStdString((m_dir / "no").string()) +
                  QStringLiteral("\u201D does not exist."));
    EXPECT_FALSE(session.lastExport());
    EXPECT_TRUE(session.document());

    // The proposed name drops the last extension, but a leading dot is part of the name.
    for (const auto &[name, proposed] :
         {std::pair{"noextension", "noextension.pdf"}, std::pair{".hidden.edi", ".hidden.pdf"},
          std::pair{".edi", ".edi.pdf"}, std::pair{"a.b.txt", "a.b.pdf"}}) {
        openAndWait(session, write(name, claim));
        m_platform.saveAnswer.reset();
        session.exportPDF();
        EXPECT_EQ(QFileInfo(m_platform.lastProposedName).fileName(), QString::fromLatin1(proposed))
            << name;
    }
}

TEST_F(WindowSessionTest, ExportAsCSV)
{
    WindowSession session(m_platform);
    openAndWait(session, write("claims.edi", claim));

    // Proposed beside the file; the table is for spreadsheets, so it starts with a byte-order mark.
    const QString csv = QString::fromStdString((m_dir / "claims.csv").string());
    m_platform.saveAnswer = csv;
    session.exportCSV();
    EXPECT_EQ(m_platform.lastProposedName, csv);
    ASSERT_TRUE(waitUntilIdle(session));
    EXPECT_EQ(session.lastExport(), csv);
    EXPECT_EQ(m_platform.shown, QStringList{csv});
    EXPECT_TRUE(slurp(m_dir / "claims.csv").starts_with("\xEF\xBB\xBFPath,Position,Tag,"));

    // Never the file itself, whatever the name it is chosen by.
    fs::create_symlink(m_dir / "claims.edi", m_dir / "link.csv");
    for (const std::string name : {"claims.edi", "link.csv"}) {
        SCOPED_TRACE(name);
        const QString chosen = QString::fromStdString((m_dir / name).string());
        m_platform.saveAnswer = chosen;
        session.exportCSV();
        EXPECT_FALSE(session.isBusy());
        EXPECT_EQ(session.errorMessage(), QStringLiteral("CSV export failed: \u201C") + chosen +
                                              QStringLiteral("\u201D is the file being shown; "
                                                             "choose another name."));
        EXPECT_EQ(slurp(m_dir / "claims.edi"), claim);
    }

    m_platform.saveAnswer = QString::fromStdString((m_dir / "no" / "out.csv").string());
    session.exportCSV();
    ASSERT_TRUE(waitUntilIdle(session));
    EXPECT_TRUE(session.errorMessage()->startsWith(QStringLiteral("CSV export failed: Could not "
                                                                  "write the CSV file \u201C")))
        << session.errorMessage()->toStdString();
}

TEST_F(WindowSessionTest, CancelledExportWritesNothingAndIsNoFailure)
{
    WindowSession session(m_platform);
    openAndWait(session, write("big.x12", bigClaim()));
    std::ofstream(m_dir / "kept.pdf") << "%PDF-1.4 previous";
    m_platform.saveAnswer = QString::fromStdString((m_dir / "kept.pdf").string());
    session.exportPDF();
    session.cancelExport();
    EXPECT_TRUE(session.currentExport()->cancelling);
    ASSERT_TRUE(waitUntilIdle(session));
    EXPECT_FALSE(session.errorMessage());
    EXPECT_FALSE(session.lastExport());
    EXPECT_TRUE(m_platform.shown.isEmpty());
    EXPECT_EQ(slurp(m_dir / "kept.pdf"), "%PDF-1.4 previous");
    EXPECT_EQ(listing(m_dir), (std::set<std::string>{"big.x12", "kept.pdf"}));
}

// The races of a window whose work runs on workers, each made certain by a gate.

TEST_F(WindowSessionTest, LaterOpenWinsOverAnEarlierSlowOne)
{
    WindowSession session(m_platform);
    Latch slowGate;
    const QString slow = write("slow.x12", claim);
    const QString fast = write("fast.x12", "N3*FAST~");
    session.setLoader([&](const QString &path) {
        if (path == slow)
            slowGate.wait();
        return WindowSession::load(path);
    });
    session.open(slow);
    slowGate.awaitWaiter();
    session.open(fast);
    ASSERT_TRUE(QTest::qWaitFor([&] { return session.document() != nullptr; }, 10'000));
    EXPECT_EQ(session.filePath(), fast);
    EXPECT_EQ(session.document()->segment(0).tag(), "N3");
    EXPECT_FALSE(session.loadingFile());

    // The slow one finishes later and is dropped.
    slowGate.open();
    QTest::qWait(200);
    EXPECT_EQ(session.filePath(), fast);
    EXPECT_EQ(session.document()->segment(0).tag(), "N3");
    EXPECT_EQ(m_platform.recent, QStringList{fast});

    // A file opened while its predecessor is checked against its guide keeps its own findings:
    // the predecessor's, made for a document gone, arrive later and are dropped.
    std::string sets = testing_support::validClaim();
    sets.replace(sets.find("DMG*D8*19051104*M"), 17, "DMG*D8*19051104*Q");
    const std::size_t first = sets.find("ST*"), last = sets.find("GE*");
    const std::string set = sets.substr(first, last - first);
    for (int i = 0; i < 1500; ++i)
        sets.insert(last, set);
    session.setLoader(&WindowSession::load);
    const QString checked = write("sets.x12", sets);
    session.open(checked);
    ASSERT_TRUE(QTest::qWaitFor([&] { return session.filePath() == checked; }, 10'000));
    openAndWait(session, fast);
    QTest::qWait(300);
    ASSERT_TRUE(session.findings());
    EXPECT_EQ(session.findings()->size(), 0u);
}

TEST_F(WindowSessionTest, OpenDuringExportShowsTheNewFileWhileTheExportFinishes)
{
    // Opens get one thread here, as on one core: the export must not be the one holding it.
    const int threads = QThreadPool::globalInstance()->maxThreadCount();
    QThreadPool::globalInstance()->setMaxThreadCount(1);
    const auto restore =
        qScopeGuard([threads] { QThreadPool::globalInstance()->setMaxThreadCount(threads); });
    WindowSession session(m_platform);
    openAndWait(session, write("first.x12", claim));
    // The export writes into a pipe, so it waits, mid-export, until the test reads it.
    const fs::path pipe = m_dir / "report.pdf";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    m_platform.saveAnswer = QString::fromStdString(pipe.string());
    session.exportPDF();
    ASSERT_TRUE(session.currentExport());

    openAndWait(session, write("second.x12", "N3*SECOND~"));
    EXPECT_EQ(session.document()->fileName(), "second.x12");
    ASSERT_TRUE(session.currentExport()); // still writing the first file's report

    std::string report;
    std::thread reader([&] { report = slurp(pipe); });
    ASSERT_TRUE(waitUntilIdle(session));
    reader.join();
    EXPECT_TRUE(report.starts_with("%PDF-"));
    EXPECT_NE(report.find("%%EOF", report.size() - 16), std::string::npos);
    EXPECT_FALSE(session.errorMessage());
    EXPECT_EQ(session.document()->fileName(), "second.x12");
}

TEST_F(WindowSessionTest, ClosingDuringExportLeavesNoPartialFile)
{
    const QString big = write("big.x12", bigClaim());
    {
        WindowSession session(m_platform);
        openAndWait(session, big);
        m_platform.saveAnswer = QString::fromStdString((m_dir / "report.pdf").string());
        session.exportPDF();
        ASSERT_TRUE(session.currentExport());
        QTest::qWait(50);
    }
    // The session is gone: its export stopped and took its unfinished file with it.
    EXPECT_EQ(listing(m_dir), std::set<std::string>{"big.x12"});
}

TEST_F(WindowSessionTest, QuittingDuringOpenIsSafe)
{
    Latch gate;
    std::atomic<bool> finished = false;
    {
        WindowSession session(m_platform);
        session.setLoader([&](const QString &path) {
            gate.wait();
            auto loaded = WindowSession::load(path);
            finished = true;
            return loaded;
        });
        session.open(write("claim.x12", claim));
        gate.awaitWaiter();
    }
    // The worker outlives the session; its result goes nowhere.
    gate.open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.load(); }, 10'000));
    QTest::qWait(50);
}

} // namespace
