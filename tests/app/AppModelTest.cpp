#include "app/AppModel.h"
#include "app/ContentView.h"
#include "app/DocumentModels.h"
#include "app/DocumentViews.h"
#include "app/DefaultHandler.h"
#include "app/Inspector.h"
#include "app/KelvaneApp.h"
#include "app/Platform.h"
#include "core/X12Document.h"
#include "core/X12Parser.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QButtonGroup>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

/// A desktop that answers panels from a script and records what it was asked.
class ScriptedPlatform : public Platform
{
public:
    std::optional<QString> openAnswer;
    std::optional<QString> saveAnswer;
    QString lastMessage;
    QString lastProposedName;
    QStringList shown;
    QStringList recent;
    int panels = 0;

    std::optional<QString> chooseFileToOpen(const QString &message) override
    {
        ++panels;
        lastMessage = message;
        return openAnswer;
    }
    std::optional<QString> chooseExportDestination(const QString &proposedName,
                                                   const QString &message) override
    {
        ++panels;
        lastProposedName = proposedName;
        lastMessage = message;
        return saveAnswer;
    }
    void showInFileManager(const QString &path) override { shown << path; }
    void noteRecentDocument(const QString &path) override
    {
        recent.removeAll(path);
        recent.prepend(path);
    }
    QStringList recentDocuments() const override { return recent; }
    void clearRecentDocuments() override { recent.clear(); }

    /// Progress that asks to stop once `cancelAfter` updates have come (never when negative).
    struct ScriptedProgress : Progress
    {
        int updates = 0;
        int cancelAfter = -1;
        void update(double) override { ++updates; }
        bool cancelled() const override { return cancelAfter >= 0 && updates >= cancelAfter; }
    };
    int cancelAfter = -1;
    QStringList progressLabels;
    std::unique_ptr<Progress> startProgress(const QString &label, bool) override
    {
        progressLabels << label;
        auto progress = std::make_unique<ScriptedProgress>();
        progress->cancelAfter = cancelAfter;
        return progress;
    }
};

class AppModelTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ::setenv("LC_ALL", "en_US.UTF-8", 1);
        m_dir = fs::temp_directory_path() /
                ("kelvane-app-" + std::to_string(::getpid()) + "-" +
                 testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    QString write(const std::string &name, const std::string &bytes)
    {
        std::ofstream(m_dir / name, std::ios::binary) << bytes;
        return QString::fromStdString((m_dir / name).string());
    }

    fs::path m_dir;
    ScriptedPlatform m_platform;
};

const std::string claim = "ISA*00*          *00*          *ZZ*SENDER         *ZZ*RECEIVER       "
                          "*240315*1230*^*00501*000000001*0*P*:~\n"
                          "GS*HC*SENDER*RECEIVER*20240315*1230*1*X*005010X222A1~\n"
                          "ST*837*0001~\n"
                          "NM1*85*2*ACME CLINIC*****XX*1234567890~\n"
                          "N3*12 MAIN ST~\n"
                          "ZZZ*nm1 here~\n"
                          "SE*5*0001~\n"
                          "GE*1*1~\n"
                          "IEA*1*000000001~\n";

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

TEST_F(AppModelTest, TreeModelIsConsistent)
{
    auto document = X12Parser::parse(std::string(claim), "claim.x12");
    ASSERT_TRUE(document);
    NodeTreeModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setDocument(*document);
    ASSERT_EQ(model.rowCount(), 1);
    const QModelIndex interchange = model.index(0, 0);
    EXPECT_EQ(interchange.data().toString(), QStringLiteral("Interchange"));
    const QModelIndex group = model.index(0, 0, interchange);
    const QModelIndex set = model.index(0, 0, group);
    const QModelIndex provider = model.index(0, 0, set);
    EXPECT_EQ(provider.data().toString(), QStringLiteral("Billing Provider: ACME CLINIC"));
    EXPECT_EQ(provider.data(SubtitleRole).toString(), QStringLiteral("NPI 1234567890"));
    EXPECT_EQ(model.parent(provider), set);
    EXPECT_EQ(model.rowCount(provider), 2);
    EXPECT_FALSE(model.hasChildren(model.index(0, 0, provider)));
}

TEST_F(AppModelTest, InspectorTexts)
{
    auto document = X12Parser::parse("NM1*85*2*ACME*****XX*ID9~CLM*A*1**11*X*Y*A*Y*I*P~", "x");
    ASSERT_TRUE(document);
    const auto rows = elementRows((*document)->segment(0));
    QStringList refs;
    for (const ElementRow &row : rows)
        refs << row.ref;
    EXPECT_EQ(refs, (QStringList{"NM101", "NM102", "NM103", "NM108", "NM109"}));
    EXPECT_EQ(rows[0].decoded, QStringLiteral("Billing Provider"));
    EXPECT_EQ(rows[3].decoded, QStringLiteral("NPI"));
    EXPECT_FALSE(rows[4].decoded);
    EXPECT_EQ(elementRows((*document)->segment(1)).back().ref, QStringLiteral("CLM10"));
    EXPECT_EQ(elementRows((*document)->segment(1))[1].decoded, QStringLiteral("$1.00"));

    EXPECT_EQ(delimiterDisplay("~"), QStringLiteral("~"));
    EXPECT_EQ(delimiterDisplay("\n"), QStringLiteral("\\n (newline)"));
    EXPECT_EQ(delimiterDisplay("\r"), QStringLiteral("\\r"));
    EXPECT_EQ(delimiterDisplay("\x1C"), QStringLiteral("0x1C"));
    EXPECT_EQ(delimiterDisplay("\u2026"), QStringLiteral("\u2026"));
}

TEST_F(AppModelTest, WindowStatesAndEnabling)
{
    AppModel model(m_platform);
    ContentView window(model);
    EXPECT_EQ(window.minimumSize(), QSize(900, 560));
    EXPECT_EQ(window.currentContent(), window.emptyState());
    EXPECT_EQ(window.emptyState()->title(), QStringLiteral("Open an X12 file"));
    EXPECT_FALSE(window.searchField()->isEnabled());
    EXPECT_FALSE(window.exportButton()->isEnabled());
    EXPECT_FALSE(window.modeButtons()->button(0)->isEnabled());
    EXPECT_TRUE(window.openButton()->isEnabled());
    EXPECT_EQ(window.openButton()->toolTip(), QStringLiteral("Open an X12 / EDI file"));
    EXPECT_EQ(window.exportButton()->toolTip(),
              QStringLiteral("Export the formatted document as PDF"));

    model.open(write("claim.x12", claim));
    EXPECT_EQ(window.currentContent(), window.outline());
    EXPECT_TRUE(window.searchField()->isEnabled());
    EXPECT_TRUE(window.exportButton()->isEnabled());
    EXPECT_TRUE(window.outline()->showsSummary());
    EXPECT_EQ(
        window.outline()->summary()->texts(),
        (QStringList{"claim.x12", "9 segments \u00B7 transaction set 837", "Element separator", "*",
                     "Component separator", ":", "Repetition separator", "^", "Segment terminator",
                     "~", "837", "Health Care Claim", "Select a node on the left to inspect it."}));

    // Selecting shows the inspector; leaving the mode and coming back clears the selection.
    QTreeView *tree = window.outline()->tree();
    tree->setCurrentIndex(tree->model()->index(0, 0));
    EXPECT_FALSE(window.outline()->showsSummary());
    EXPECT_TRUE(
        window.outline()->detail()->texts().contains(QStringLiteral("Contains 2 child elements")));
    window.modeButtons()->button(int(AppModel::ViewMode::raw))->click();
    EXPECT_EQ(model.viewMode(), AppModel::ViewMode::raw);
    EXPECT_EQ(window.currentContent(), window.raw());
    window.modeButtons()->button(int(AppModel::ViewMode::outline))->click();
    EXPECT_TRUE(window.outline()->showsSummary());

    // Typing filters the segment list on each keystroke; the inspector keeps a hidden segment.
    model.setViewMode(AppModel::ViewMode::flat);
    QListView *list = window.segments()->list();
    EXPECT_EQ(list->model()->rowCount(), 9);
    list->setCurrentIndex(list->model()->index(4, 0));
    EXPECT_EQ(window.segments()->selected(), 4u);
    QTest::keyClicks(window.searchField(), QStringLiteral("nm"));
    EXPECT_EQ(model.searchText(), QStringLiteral("nm"));
    EXPECT_EQ(list->model()->rowCount(), 2);
    EXPECT_EQ(window.segments()->selected(), 4u);
    EXPECT_FALSE(window.segments()->showsSummary());

    // A failed export stays beside the document; a failed open shows the error state.
    m_platform.saveAnswer = QString::fromStdString((m_dir / "no" / "x.pdf").string());
    model.exportPDF();
    EXPECT_EQ(window.currentContent(), window.segments());
    EXPECT_FALSE(window.messageBar()->isHidden());
    model.open(write("bad.x12", "~~~"));
    EXPECT_EQ(window.currentContent(), window.emptyState());
    EXPECT_EQ(
        window.emptyState()->title(),
        QStringLiteral("No X12 segments were found. This does not look like an X12/EDI file."));
    EXPECT_EQ(window.emptyState()->line(), QStringLiteral("Try another file."));
}

TEST_F(AppModelTest, FindingsInTheWindow)
{
    AppModel model(m_platform);
    ContentView window(model);
    std::string broken = claim;
    broken.replace(broken.find("GE*1*1"), 6, "GE*1*2");
    model.open(write("broken.x12", broken));
    ASSERT_EQ(model.document()->findingCount(), 1u);
    EXPECT_EQ(model.document()->finding(0).position, 8u);

    // The summary lists the finding; clicking it reveals and selects the GE node.
    OutlineView *outline = window.outline();
    QPushButton *finding = nullptr;
    for (QPushButton *button : outline->summary()->findChildren<QPushButton *>())
        finding = button;
    ASSERT_TRUE(finding);
    EXPECT_EQ(finding->text(), QStringLiteral("\u26A0 segment 8: GE02 2 does not match GS06 1"));
    finding->click();
    EXPECT_FALSE(outline->showsSummary());
    EXPECT_EQ(outline->tree()->currentIndex().data(PositionRole).toLongLong(), 8);
    EXPECT_TRUE(outline->tree()->currentIndex().data(FindingRole).toBool());
    EXPECT_TRUE(outline->detail()->texts().contains(
        QStringLiteral("\u26A0 error: GE02 2 does not match GS06 1")));

    model.setViewMode(AppModel::ViewMode::flat);
    QAbstractItemModel *list = window.segments()->list()->model();
    EXPECT_TRUE(list->index(7, 0).data(FindingRole).toBool());
    EXPECT_FALSE(list->index(6, 0).data(FindingRole).toBool());
}

TEST_F(AppModelTest, DropsOpenTheFirstFileOnly)
{
    AppModel model(m_platform);
    ContentView window(model);
    const QString first = write("first.x12", claim);
    const QString second = write("second.x12", "N3*A~");

    QMimeData text;
    text.setText(QStringLiteral("ISA*00"));
    QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &refused);
    EXPECT_FALSE(refused.isAccepted());

    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(first), QUrl::fromLocalFile(second)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
    EXPECT_FALSE(model.fileURL()); // opened from the event loop, not inside the drop
    QApplication::processEvents();
    EXPECT_EQ(model.fileURL(), first);
}

/// No known types, and asked before: the launch steps show nothing.
struct FakeDesktop : TypeRegistry, AlertPresenter, PreferenceStore
{
    bool knows(const QString &) const override { return false; }
    std::optional<QString> defaultApplication(const QString &) const override { return {}; }
    QString thisApplication() const override { return {}; }
    void setDefault(const QString &, std::function<void(std::optional<QString>)> done) override
    {
        done(std::nullopt);
    }
    int show(Style, const QString &, const QString &, const QStringList &) override { return 1; }
    bool flag(const QString &) const override { return true; }
    void setFlag(const QString &, bool) override {}
};

TEST_F(AppModelTest, LaunchRequestsAndMenus)
{
    const QString first = write("first.x12", claim);
    const QString second = write("second.x12", "N3*A~");
    const QString third = write("third.x12", "N4*B~");

    // Two requests before the window: the later one wins, and only its first file counts; it is
    // open by the time the window's start-up steps are done.
    FakeDesktop desktop;
    KelvaneApp app(m_platform, desktop, desktop, desktop);
    app.delegate().openRequest({first});
    app.delegate().openRequest({second, third});
    EXPECT_EQ(app.delegate().pendingURL(), second);
    app.delegate().openRequest({});
    EXPECT_EQ(app.delegate().pendingURL(), second);
    app.showWindow();
    EXPECT_FALSE(app.delegate().pendingURL());
    EXPECT_EQ(app.model().fileURL(), second);
    EXPECT_EQ(app.delegate().model(), &app.model());

    // The first-launch question comes after the parked file is open.
    {
        struct AskingDesktop : FakeDesktop
        {
            AppModel *model = nullptr;
            bool fileOpenWhenAsked = false;
            int questions = 0;
            int show(Style, const QString &, const QString &, const QStringList &) override
            {
                ++questions;
                fileOpenWhenAsked = model && model->document() != nullptr;
                return 1; // "Not Now"
            }
            bool flag(const QString &) const override { return false; }
            bool knows(const QString &) const override { return true; }
        } asking;
        KelvaneApp launched(m_platform, asking, asking, asking);
        asking.model = &launched.model();
        launched.delegate().openRequest({first});
        launched.showWindow();
        EXPECT_EQ(asking.questions, 1);
        EXPECT_TRUE(asking.fileOpenWhenAsked);
    }

    // After the window is up, a request opens from the event loop, not inside the handler.
    app.delegate().openRequest({first, third});
    EXPECT_EQ(app.model().fileURL(), second);
    QApplication::processEvents();
    EXPECT_EQ(app.model().fileURL(), first);

    // Export as PDF… follows the document; Open Recent lists what was opened.
    ContentView &window = app.window();
    EXPECT_EQ(window.openAction()->text(), QStringLiteral("Open\u2026"));
    EXPECT_EQ(window.openAction()->shortcut(), QKeySequence(QKeySequence::Open));
    EXPECT_EQ(window.exportAction()->text(), QStringLiteral("Export as PDF\u2026"));
    EXPECT_EQ(window.exportAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_E));
    EXPECT_TRUE(window.exportAction()->isEnabled());
    app.model().open(write("bad.x12", ""));
    EXPECT_FALSE(window.exportAction()->isEnabled());
    emit window.recentMenu()->aboutToShow();
    QStringList items;
    for (QAction *action : window.recentMenu()->actions())
        items << action->text();
    EXPECT_EQ(items, (QStringList{"first.x12", "second.x12", "", "Clear Menu"}));
}

} // namespace

int main(int argc, char **argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
