#include "app/AppModel.h"
#include "app/AppTestSupport.h"
#include "app/ContentView.h"
#include "app/DocumentModels.h"
#include "app/DocumentViews.h"
#include "app/Inspector.h"
#include "core/X12Document.h"

#include <QApplication>
#include <QButtonGroup>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace app_testing;

namespace {

using ContentViewTest = AppTest;

TEST_F(ContentViewTest, WindowStatesAndEnabling)
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

TEST_F(ContentViewTest, FindingsInTheWindow)
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

TEST_F(ContentViewTest, DropsOpenTheFirstFileOnly)
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

} // namespace
