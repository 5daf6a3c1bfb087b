#include "app/ActivityBar.h"
#include "app/AppTestSupport.h"
#include "app/DocumentRoles.h"
#include "app/DocumentSummaryView.h"
#include "app/ElementTableModel.h"
#include "app/ElementTableView.h"
#include "app/EmptyStateView.h"
#include "app/FindingsPanel.h"
#include "app/GoToSegmentDialog.h"
#include "app/LoadingView.h"
#include "app/MainWindow.h"
#include "app/OutlineTree.h"
#include "app/OutlineView.h"
#include "app/RawView.h"
#include "app/RowListView.h"
#include "app/SegmentDetailView.h"
#include "app/SegmentsView.h"
#include "app/SelectableText.h"
#include "app/Style.h"
#include "app/WindowSession.h"
#include "core/model/X12Document.h"

#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QSplitter>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

namespace fs = std::filesystem;
using namespace app_testing;

namespace {

using MainWindowTest = AppTest;

TEST_F(MainWindowTest, WindowStatesAndEnabling)
{
    WindowSession session(m_platform);
    MainWindow window(session);
    window.resize(window.minimumSize());
    window.show();
    EXPECT_EQ(window.currentContent(), window.emptyState());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Kelvane"));
    EXPECT_FALSE(window.searchField()->isEnabled());
    EXPECT_FALSE(window.exportButton()->isEnabled());
    EXPECT_FALSE(window.modeButtons()->button(0)->isEnabled());
    EXPECT_TRUE(window.openButton()->isEnabled());

    openAndWait(session, write("claim.x12", claim));
    EXPECT_EQ(window.currentContent(), window.outline());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("claim.x12 \u2014 Kelvane"));
    EXPECT_TRUE(window.searchField()->isEnabled());
    EXPECT_TRUE(window.exportButton()->isEnabled());
    EXPECT_TRUE(window.notX12Banner()->isHidden());
    EXPECT_TRUE(window.outline()->showsSummary());
    EXPECT_EQ(
        window.outline()->summary()->texts(),
        (QStringList{"claim.x12", "9 segments \u00B7 transaction set 837", "Element separator", "*",
                     "Component separator", ":", "Repetition separator", "^", "Segment terminator",
                     "~", "837\tHealth Care Claim", "Select a node on the left to inspect it."}));
    // Each summary value stands beside its name, not over it; the name of the file, the line
    // under it and the values can be selected and copied.
    const QWidget *summary = window.outline()->summary()->widget();
    const auto name = summary->findChildren<QLabel *>().front();
    const auto values = summary->findChildren<SelectableText *>();
    ASSERT_EQ(values.size(), 7);
    EXPECT_EQ(name->text(), QStringLiteral("Element separator"));
    EXPECT_EQ(values[2]->text(), QStringLiteral("*"));
    EXPECT_GE(values[2]->x(), name->x() + name->width());
    values[0]->setFocus();
    values[0]->selectAll();
    window.copy();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("claim.x12"));
    // No row looks selected while the summary shows, even once the tree has the focus.
    QTreeView *tree = window.outline()->tree();
    tree->setFocus();
    EXPECT_FALSE(tree->selectionModel()->hasSelection());

    // Selecting shows the inspector, deselecting the summary; leaving the mode and coming back
    // clears the selection.
    tree->setCurrentIndex(tree->model()->index(0, 0));
    EXPECT_FALSE(window.outline()->showsSummary());
    EXPECT_TRUE(
        window.outline()->detail()->texts().contains(QStringLiteral("Contains 2 child elements")));
    tree->selectionModel()->select(tree->currentIndex(), QItemSelectionModel::Deselect);
    EXPECT_TRUE(window.outline()->showsSummary());
    tree->setCurrentIndex(tree->model()->index(0, 0));
    window.modeButtons()->button(int(WindowSession::ViewMode::raw))->click();
    EXPECT_EQ(session.viewMode(), WindowSession::ViewMode::raw);
    EXPECT_EQ(window.currentContent(), window.raw());
    window.modeButtons()->button(int(WindowSession::ViewMode::outline))->click();
    EXPECT_TRUE(window.outline()->showsSummary());

    // Typing filters the segment list on each keystroke, and counts the matches; the inspector
    // keeps a hidden segment, and the toolbar stays where it was.
    session.setViewMode(WindowSession::ViewMode::segments);
    RowListView *list = window.segments()->list();
    EXPECT_EQ(list->model()->rowCount(), 9);
    EXPECT_EQ(window.matchCount()->text(), QString());
    list->setCurrentIndex(list->model()->index(4, 0));
    EXPECT_EQ(window.segments()->selected(), 4u);
    const auto picker = [&window] {
        QApplication::processEvents();
        return window.modeButtons()->button(0)->mapTo(&window, QPoint());
    };
    const QPoint pickerBefore = picker();
    QTest::keyClicks(window.searchField(), QStringLiteral("nm"));
    EXPECT_EQ(session.searchText(), QStringLiteral("nm"));
    EXPECT_EQ(list->model()->rowCount(), 2);
    EXPECT_EQ(window.matchCount()->text(), QStringLiteral("2 matches"));
    EXPECT_EQ(picker(), pickerBefore);
    EXPECT_EQ(window.segments()->selected(), 4u);
    EXPECT_FALSE(window.segments()->showsSummary());
    QTest::keyClicks(window.searchField(), QStringLiteral("zzzz"));
    EXPECT_EQ(window.matchCount()->text(), QStringLiteral("No matches"));
    QTest::keyClick(window.searchField(), Qt::Key_Escape);
    EXPECT_EQ(session.searchText(), QString());
    EXPECT_EQ(window.searchField()->text(), QString());
    EXPECT_EQ(list->model()->rowCount(), 9);
}

TEST_F(MainWindowTest, LoadingShowsItselfNotTheWelcome)
{
    WindowSession session(m_platform);
    MainWindow window(session, m_platform, m_desktop);
    auto gate = std::make_unique<Latch>();
    session.setLoader([&gate](const QString &path) {
        gate->wait();
        return WindowSession::load(path);
    });
    session.open(write("claim.x12", claim));
    EXPECT_EQ(window.currentContent(), window.loadingState());
    EXPECT_EQ(window.loadingState()->title(), QStringLiteral("Opening claim.x12\u2026"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Opening claim.x12\u2026 \u2014 Kelvane"));
    gate->open();
    ASSERT_TRUE(waitUntilIdle(session));
    EXPECT_EQ(window.currentContent(), window.outline());

    // With a document on screen, a second open that takes a moment shows loading too, and
    // nothing acts on the document it hides.
    gate = std::make_unique<Latch>();
    session.open(write("second.x12", claim));
    EXPECT_EQ(window.currentContent(), window.outline());
    EXPECT_TRUE(window.exportAction()->isEnabled());
    QTest::qWait(300);
    EXPECT_EQ(window.currentContent(), window.loadingState());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Opening second.x12\u2026 \u2014 Kelvane"));
    EXPECT_FALSE(window.exportAction()->isEnabled());
    EXPECT_FALSE(window.exportButton()->isEnabled());
    EXPECT_FALSE(window.searchField()->isEnabled());
    gate->open();
    ASSERT_TRUE(waitUntilIdle(session));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("second.x12 \u2014 Kelvane"));
    EXPECT_TRUE(window.exportAction()->isEnabled());
}

TEST_F(MainWindowTest, FindingsInTheWindow)
{
    // A valid claim made to break its envelope (GE02), an element's code and date (DMG02,
    // DMG03), and the place of a segment (NTE).
    std::string broken = testing_support::validClaim();
    broken.replace(broken.find("DMG*D8*19051104*M"), 17, "DMG*D8*19051304*Q");
    broken.insert(broken.find("PRV*PE"), "NTE*ADD*X~\n");
    broken.replace(broken.find("SE*63*"), 6, "SE*64*");
    broken.replace(broken.find("GE*1*1167"), 9, "GE*1*1168");
    WindowSession session(m_platform);
    MainWindow window(session);
    window.show();
    openAndWait(session, write("broken.x12", broken));
    QApplication::processEvents();

    // The summary lists the envelope's finding; clicking it reveals and selects the GE node.
    OutlineView *outline = window.outline();
    QPushButton *finding = nullptr;
    for (QPushButton *button : outline->summary()->findChildren<QPushButton *>())
        finding = button;
    ASSERT_TRUE(finding);
    EXPECT_EQ(finding->text(),
              QStringLiteral("\u26A0 segment 67: GE02 1168 does not match GS06 1167"));
    finding->click();
    EXPECT_EQ(outline->tree()->currentIndex().data(PositionRole).toLongLong(), 67);
    EXPECT_TRUE(outline->tree()->currentIndex().data(FindingRole).toBool());

    // Every finding is listed under the views, in segment order.
    FindingsPanel *panel = window.findingsPanel();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->counts()->text(), QStringLiteral("4 errors \u00B7 0 warnings"));
    const QAbstractItemModel *rows = panel->list()->model();
    const auto row = [rows](int r) {
        QStringList cells;
        for (int c = 0; c < rows->columnCount(); ++c)
            cells << rows->index(r, c).data().toString();
        return cells.join(u'|');
    };
    ASSERT_EQ(rows->rowCount(), 4);
    EXPECT_EQ(row(0), QStringLiteral("Error|19|DMG|2010BA|DMG03|DMG03 \"Q\" is not a code of this "
                                     "guide here; it takes F, M, U"));
    EXPECT_EQ(row(2), QStringLiteral("Error|25|NTE|2310B||NTE is not expected here in loop 2310B"));
    EXPECT_EQ(row(3), QStringLiteral("Error|67|GE|||GE02 1168 does not match GS06 1167"));
    panel->filterField()->setText(QStringLiteral("2010ba"));
    EXPECT_EQ(rows->rowCount(), 2);
    EXPECT_EQ(panel->counts()->text(), QStringLiteral("4 errors \u00B7 0 warnings \u00B7 2 shown"));
    panel->severity()->setCurrentIndex(2); // warnings
    EXPECT_EQ(rows->rowCount(), 0);
    panel->severity()->setCurrentIndex(0);
    panel->filterField()->clear();
    EXPECT_EQ(rows->rowCount(), 4);

    // Choosing a finding shows its segment in the view on screen, with the finding beside the
    // element it names, or above the elements when it is about the segment.
    session.setViewMode(WindowSession::ViewMode::segments);
    emit panel->list()->clicked(rows->index(1, 0));
    SegmentsView *segments = window.segments();
    ASSERT_EQ(segments->selected(), std::optional<std::uint32_t>(18));
    EXPECT_TRUE(segments->list()->model()->index(18, 0).data(FindingRole).toBool());
    EXPECT_FALSE(segments->list()->model()->index(17, 0).data(FindingRole).toBool());
    ElementTableModel *elements = segments->detail()->table()->elements();
    ASSERT_EQ(elements->rowCount(), 3);
    EXPECT_FALSE(elements->index(0, 2).data(ElementTableModel::FindingsRole).isValid());
    EXPECT_EQ(elements->index(1, 2).data(ElementTableModel::FindingsRole).toString(),
              QStringLiteral("\u26A0 error: DMG02 \"19051304\" is not a date (CCYYMMDD), as "
                             "DMG01 \"D8\" calls for"));
    EXPECT_TRUE(elements->index(2, 2).data(ElementTableModel::FindingsRole).isValid());
    emit panel->list()->clicked(rows->index(2, 0));
    EXPECT_TRUE(segments->detail()->texts().contains(
        QStringLiteral("\u26A0 error: NTE is not expected here in loop 2310B")));

    // The Segments view's summary lists the envelope's finding too, and a click shows its
    // segment there, even one the search hides.
    segments->reset();
    session.setSearchText(QStringLiteral("DMG"));
    ASSERT_TRUE(segments->showsSummary());
    const auto summaryFindings = segments->findChildren<QPushButton *>();
    ASSERT_EQ(summaryFindings.size(), 1);
    summaryFindings.front()->click();
    EXPECT_EQ(segments->selected(), std::optional<std::uint32_t>(66));
    EXPECT_EQ(session.searchText(), QString());
}

TEST_F(MainWindowTest, LongSummariesScrollAndLongNamesWrap)
{
    // 2,001 sets of as many kinds, whose trailers all miscount: as many findings. The summary
    // lists a thousand of each and counts the rest, grouped as the locale groups.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const auto restore = qScopeGuard([] { QLocale::setDefault(QLocale::system()); });
    std::string text = claim.substr(0, claim.find("ST*"));
    for (int i = 0; i < 2001; ++i)
        text += "ST*" + std::to_string(i) + "*" + std::to_string(i) + "~SE*9*" + std::to_string(i) +
                "~";
    text += "GE*2001*1~IEA*1*000000001~";
    WindowSession session(m_platform);
    MainWindow window(session);
    window.resize(Style::pt(900), Style::pt(560));
    window.show();
    openAndWait(session, write("sets.x12", text));
    QApplication::processEvents();
    DocumentSummaryView *summary = window.outline()->summary();
    EXPECT_EQ(summary->findChildren<QPushButton *>().size(), 1000);
    EXPECT_TRUE(
        summary->texts().contains(QStringLiteral("\u2026 and 1,001 more transaction sets")));
    EXPECT_TRUE(summary->texts().contains(QStringLiteral("\u2026 and 1,001 more findings")));
    EXPECT_GT(summary->widget()->height(), summary->viewport()->height());
    EXPECT_GT(summary->verticalScrollBar()->maximum(), 0);

    // The ISA's long element names wrap in their column instead of being clipped.
    window.outline()->reveal(0);
    QApplication::processEvents();
    ElementTableView *table = window.outline()->detail()->table();
    ASSERT_TRUE(table);
    EXPECT_EQ(table->height(), table->sizeHint().height());
    const QFontMetrics names(Style::font(11.5));
    const int nameWidth = table->columnWidth(ElementTableModel::nameColumn);
    for (int row = 0; row < table->elements()->rowCount(); ++row) {
        const QString name = table->elements()->row(row).name;
        if (names.horizontalAdvance(name) > nameWidth - Style::pt(12)) {
            EXPECT_GT(table->rowHeight(row), names.height() * 2) << name.toStdString();
        }
    }
}

TEST_F(MainWindowTest, ANewFileNeverShowsThePreviousFilesInspector)
{
    WindowSession session(m_platform);
    MainWindow window(session);
    window.show();
    openAndWait(session, write("first.x12", claim));
    session.setViewMode(WindowSession::ViewMode::segments);
    window.segments()->list()->setCurrentIndex(window.segments()->list()->model()->index(2, 0));
    EXPECT_FALSE(window.segments()->showsSummary());
    openAndWait(session, QString::fromStdString((m_dir / "missing.x12").string()));
    openAndWait(session, write("second.x12", "N3*A~N4*B~"));
    EXPECT_EQ(window.currentContent(), window.segments());
    EXPECT_TRUE(window.segments()->showsSummary());
    EXPECT_FALSE(window.segments()->selected());
}

TEST_F(MainWindowTest, FilesThatAreNotX12SaySo)
{
    WindowSession session(m_platform);
    MainWindow window(session);
    openAndWait(session, write("letter.txt", "Dear Sir~I write to complain~about the weather~"
                                             "which has been poor~Yours~"));
    ASSERT_TRUE(session.document());
    EXPECT_FALSE(window.notX12Banner()->isHidden());
    EXPECT_TRUE(window.notX12Banner()->text().contains(QStringLiteral("does not look like X12")));
    // Segments without envelopes but with known tags are X12 all the same.
    openAndWait(session, write("fragment.x12", "NM1*85*2*ACME~N3*1 MAIN~N4*CITY*ST*12345~"));
    EXPECT_TRUE(window.notX12Banner()->isHidden());
    // A file without any segment shows the error state.
    openAndWait(session, write("bad.x12", "~~~"));
    EXPECT_EQ(window.currentContent(), window.emptyState());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Kelvane"));
    EXPECT_EQ(
        window.emptyState()->title(),
        QStringLiteral("No X12 segments were found. This does not look like an X12/EDI file."));
    EXPECT_EQ(window.emptyState()->line(), QStringLiteral("Try another file."));
}

TEST_F(MainWindowTest, FinishedExportSaysWhereWithShowInFolder)
{
    WindowSession session(m_platform);
    MainWindow window(session);
    openAndWait(session, write("claims.edi", claim));
    // A failed export stays beside the document, its message above it.
    m_platform.saveAnswer = QString::fromStdString((m_dir / "no" / "x.pdf").string());
    session.exportPDF();
    ASSERT_TRUE(waitUntilIdle(session));
    EXPECT_EQ(window.currentContent(), window.outline());
    EXPECT_FALSE(window.messageBar()->isHidden());

    const QString pdf = QString::fromStdString((m_dir / "claims.pdf").string());
    m_platform.saveAnswer = pdf;
    session.exportPDF();
    EXPECT_FALSE(window.activityBar()->isHidden());
    EXPECT_TRUE(window.activityBar()->text().startsWith(QStringLiteral("Exporting claims.edi")));
    EXPECT_EQ(window.activityBar()->actionButton()->text(), QStringLiteral("Cancel"));
    EXPECT_FALSE(window.exportButton()->isEnabled());
    ASSERT_TRUE(waitUntilIdle(session));
    EXPECT_EQ(window.activityBar()->text(), QStringLiteral("Exported \u201C") + pdf + u'\u201D');
    EXPECT_EQ(window.activityBar()->actionButton()->text(), QStringLiteral("Show in Folder"));
    m_platform.shown.clear();
    window.activityBar()->actionButton()->click();
    EXPECT_EQ(m_platform.shown, QStringList{pdf});
    EXPECT_TRUE(window.exportButton()->isEnabled());
    // Opening another file closes the message.
    openAndWait(session, write("other.x12", claim));
    EXPECT_TRUE(window.activityBar()->isHidden());

    // A cancelled export says so.
    openAndWait(session, write("big.x12", bigClaim()));
    session.exportPDF();
    window.activityBar()->actionButton()->click();
    ASSERT_TRUE(waitUntilIdle(session));
    EXPECT_EQ(window.activityBar()->text(), QStringLiteral("Export cancelled"));

    // Quitting during an export asks first; keeping it keeps the window.
    MainWindow withMenus(session, m_platform, m_desktop);
    withMenus.show();
    session.exportPDF();
    m_desktop.answer = 1;
    EXPECT_FALSE(withMenus.close());
    ASSERT_EQ(m_desktop.shown.size(), 1u);
    EXPECT_EQ(m_desktop.shown[0].message, QStringLiteral("Stop exporting big.x12?"));
    EXPECT_EQ(m_desktop.shown[0].buttons, (QStringList{"Stop Export and Quit", "Keep Exporting"}));
    EXPECT_TRUE(session.currentExport() && !session.currentExport()->cancelling);
    m_desktop.answer = 0;
    EXPECT_TRUE(withMenus.close());
    EXPECT_TRUE(session.currentExport()->cancelling);
    ASSERT_TRUE(waitUntilIdle(session));
}

TEST_F(MainWindowTest, FindGoToAndCopy)
{
    WindowSession session(m_platform);
    MainWindow window(session, m_platform, m_desktop);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    openAndWait(session, write("claim.x12", claim));
    session.setSearchText(QStringLiteral("nm1")); // segments 3 (NM1) and 5 (ZZZ "nm1 here")

    // Outline: the next match after the selection, wrapping around.
    window.findNext();
    EXPECT_EQ(window.outline()->selectedSegment(), 3u);
    window.findNext();
    EXPECT_EQ(window.outline()->selectedSegment(), 5u);
    window.findNext();
    EXPECT_EQ(window.outline()->selectedSegment(), 3u);
    window.findNext(true);
    EXPECT_EQ(window.outline()->selectedSegment(), 5u);
    window.copy();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("ZZZ*nm1 here"));
    window.goToSegment(7);
    EXPECT_EQ(window.outline()->selectedSegment(), 7u);
    // Go to Segment asks in a dialog wide enough for its title bar to show its title whole.
    QTimer::singleShot(0, &window, [] {
        auto *dialog = qobject_cast<GoToSegmentDialog *>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        QFont bold = dialog->font();
        bold.setBold(true);
        EXPECT_GE(dialog->width(),
                  QFontMetrics(bold).horizontalAdvance(dialog->windowTitle()) + Style::pt(120));
        dialog->field()->setValue(6);
        dialog->accept();
    });
    window.askForSegment();
    EXPECT_EQ(window.outline()->selectedSegment(), 5u);
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    // Segments: Enter in the search field moves to the next line.
    session.setViewMode(WindowSession::ViewMode::segments);
    window.searchField()->setFocus();
    QTest::keyClick(window.searchField(), Qt::Key_Return);
    EXPECT_EQ(window.segments()->selected(), 3u);
    QTest::keyClick(window.searchField(), Qt::Key_Return);
    EXPECT_EQ(window.segments()->selected(), 5u);
    // Ctrl+E exports from the field too. Fields on X11 take it as the end of their line; the
    // offscreen platform's do not, so a filter does what such a field does.
    struct TakesCtrlE : QObject
    {
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::ShortcutOverride)
                event->accept();
            return false;
        }
    } x11Field;
    window.searchField()->installEventFilter(&x11Field);
    QTest::keyClick(window.searchField(), Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(m_platform.lastMessage, QStringLiteral("Export the formatted X12 document as PDF"));
    window.copy();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("ZZZ*nm1 here"));
    // A segment the search hides is found all the same: the search is cleared.
    window.goToSegment(1);
    EXPECT_EQ(session.searchText(), QString());
    EXPECT_EQ(window.segments()->selected(), 1u);

    // The inspector's values copy exactly, and the context menus' copies too.
    window.segments()->list()->setCurrentIndex(window.segments()->list()->model()->index(3, 0));
    ElementTableView *table = window.segments()->detail()->table();
    ASSERT_TRUE(table);
    table->setFocus();
    table->selectionModel()->select(table->model()->index(2, ElementTableModel::valueColumn),
                                    QItemSelectionModel::ClearAndSelect);
    window.copy();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("ACME CLINIC"));

    // Raw: the lines selected, whole.
    session.setViewMode(WindowSession::ViewMode::raw);
    window.goToSegment(4);
    window.copy();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("N3*12 MAIN ST"));
}

TEST_F(MainWindowTest, ARowDeepInALongListStaysInViewThroughASearch)
{
    std::string text = "ST*837*1~";
    for (int i = 0; i < 150000; ++i)
        text += "N3*" + std::to_string(i) + "~";
    text += "SE*150002*1~";
    WindowSession session(m_platform);
    MainWindow window(session);
    window.resize(900, 600);
    window.show();
    openAndWait(session, write("long.x12", text));
    session.setViewMode(WindowSession::ViewMode::segments);
    RowListView *list = window.segments()->list();

    // The last row, chosen from the keyboard, is in view again when a search that hid it is
    // cleared.
    list->setFocus();
    QTest::keyClick(list, Qt::Key_End);
    session.setSearchText(QStringLiteral("ST"));
    session.setSearchText(QString());
    const QModelIndex chosen = list->model()->index(150001, 0);
    EXPECT_EQ(list->currentIndex(), chosen);
    EXPECT_TRUE(list->viewport()->rect().intersects(list->visualRect(chosen)));
}

TEST_F(MainWindowTest, ExpandAllStaysWithinBounds)
{
    // Tens of thousands of loops in one set: opening them all would freeze the window.
    std::string big = claim.substr(0, claim.find("NM1"));
    for (int i = 0; i < 30'000; ++i)
        big += "NM1*85*2*ACME~N3*1 MAIN~";
    big += "SE*60002*0001~GE*1*1~IEA*1*000000001~";
    WindowSession session(m_platform);
    MainWindow window(session);
    openAndWait(session, write("big.x12", big));
    OutlineTree *tree = window.outline()->tree();
    EXPECT_FALSE(tree->expandWithin(QModelIndex()));
    const QString notice = window.activityBar()->text();
    EXPECT_TRUE(notice.startsWith(QStringLiteral("The tree is too large")));
    // The tree's one interchange opens as far, and says so in the same words.
    tree->collapseAll();
    EXPECT_FALSE(tree->expandWithin(tree->model()->index(0, 0)));
    EXPECT_EQ(window.activityBar()->text(), notice);
    const QModelIndex set =
        tree->model()->index(0, 0, tree->model()->index(0, 0, tree->model()->index(0, 0)));
    EXPECT_TRUE(tree->isExpanded(set.parent()));
    EXPECT_FALSE(tree->isExpanded(tree->model()->index(0, 0, set)));

    // A small tree opens whole.
    openAndWait(session, write("claim.x12", claim));
    EXPECT_TRUE(tree->expandWithin(QModelIndex()));
}

TEST_F(MainWindowTest, LayoutComesBackAsItWasLeft)
{
    QByteArray saved;
    {
        WindowSession session(m_platform);
        MainWindow window(session);
        window.resize(Style::pt(1000), Style::pt(640));
        openAndWait(session, write("claim.x12", claim));
        session.setViewMode(WindowSession::ViewMode::raw);
        window.outline()->setSizes({Style::pt(500), Style::pt(500)});
        window.findingsAction()->setChecked(false); // View > Findings hides the list
        EXPECT_FALSE(window.findingsPanel()->isVisible());
        saved = window.saveLayout();
    }
    WindowSession session(m_platform);
    MainWindow window(session);
    window.show();
    openAndWait(session, write("claim.x12", claim));
    window.restoreLayout(saved);
    EXPECT_EQ(session.viewMode(), WindowSession::ViewMode::raw);
    EXPECT_EQ(window.size(), QSize(Style::pt(1000), Style::pt(640)));
    EXPECT_FALSE(window.findingsAction()->isChecked());
    EXPECT_FALSE(window.findingsPanel()->isVisible());
    // Nothing saved, or something unreadable, leaves the defaults.
    window.restoreLayout(QByteArray("garbage"));
    window.restoreLayout({});
    EXPECT_EQ(session.viewMode(), WindowSession::ViewMode::raw);
}

TEST_F(MainWindowTest, FitsTheScreenAndNoPaneOverlapsAtItsMinimum)
{
    WindowSession session(m_platform);
    MainWindow window(session);
    const QSize available = QApplication::primaryScreen()->availableSize();
    EXPECT_TRUE(QRect(QPoint(), available).contains(QRect(QPoint(), window.size())));
    // 900 x 560 device-independent pixels, less on a screen too small for it: narrow enough to
    // tile two windows on a 1920-pixel screen.
    EXPECT_EQ(window.minimumSize(), QSize(900, 560).boundedTo(available * 9 / 10));
    window.resize(window.minimumSize());
    window.show();
    openAndWait(session, write("claim.x12", claim));
    for (QSplitter *view : {static_cast<QSplitter *>(window.outline()),
                            static_cast<QSplitter *>(window.segments())}) {
        session.setViewMode(view == window.outline() ? WindowSession::ViewMode::outline
                                                     : WindowSession::ViewMode::segments);
        QApplication::processEvents();
        const QRect left = view->widget(0)->geometry(), right = view->widget(1)->geometry();
        EXPECT_GE(left.width(), view->widget(0)->minimumWidth());
        EXPECT_GE(right.width(), view->widget(1)->minimumWidth());
        EXPECT_LE(left.right(), right.left());
        EXPECT_LE(right.right(), view->width());
    }
    EXPECT_TRUE(window.exportButton()->isVisible()); // not folded away behind the toolbar's »
}

TEST_F(MainWindowTest, DropsOpenTheFirstFileOnly)
{
    WindowSession session(m_platform);
    MainWindow window(session);
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
    EXPECT_FALSE(session.loadingFile()); // opened from the event loop, not inside the drop
    QApplication::processEvents();
    ASSERT_TRUE(waitUntilIdle(session));
    EXPECT_EQ(session.filePath(), first);
}

} // namespace
