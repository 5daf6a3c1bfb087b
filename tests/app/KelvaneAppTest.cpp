#include "app/AppTestSupport.h"
#include "app/DefaultHandler.h"
#include "app/DisplayText.h"
#include "app/KelvaneApp.h"
#include "app/MainWindow.h"
#include "app/WindowSession.h"
#include "core/dictionary/X12Dictionary.h"

#include <QApplication>
#include <QDir>
#include <QMenu>

#include <gtest/gtest.h>

using namespace app_testing;

namespace {

using KelvaneAppTest = AppTest;

TEST_F(KelvaneAppTest, LaunchRequestsAndMenus)
{
    const QString first = write("first.x12", claim);
    const QString second = write("second.x12", "N3*A~");
    const QString third = write("third.x12", "N4*B~");

    // Two requests before the window: the later one wins, and only its first file counts; it is
    // open by the time the window's start-up steps are done.
    QuietDesktop desktop;
    KelvaneApp app(m_platform, desktop, desktop, desktop);
    app.delegate().openRequest({first});
    app.delegate().openRequest({second, third});
    EXPECT_EQ(app.delegate().pendingPath(), second);
    app.delegate().openRequest({});
    EXPECT_EQ(app.delegate().pendingPath(), second);
    app.showWindow();
    EXPECT_FALSE(app.delegate().pendingPath());
    ASSERT_TRUE(waitUntilIdle(app.session()));
    EXPECT_EQ(app.session().filePath(), second);
    EXPECT_EQ(app.delegate().session(), &app.session());
    // On the window's thread, titles quote a bounded part of a segment of any size: a row of a
    // gigabyte tag would otherwise be composed in full each time it is painted.
    const std::string hugeTag(DisplayText::maxLength * 3, 'Q');
    EXPECT_EQ(X12Dictionary::segmentName(hugeTag).size(), DisplayText::maxLength + 8);

    // The first-launch question comes after the parked file is open.
    {
        FakeDesktop asking;
        asking.answer = 1; // "Not Now"
        KelvaneApp launched(m_platform, asking, asking, asking);
        bool fileOpenWhenAsked = false;
        asking.onAlert = [&] { fileOpenWhenAsked = launched.session().document() != nullptr; };
        launched.delegate().openRequest({first});
        launched.showWindow();
        EXPECT_TRUE(asking.shown.empty());
        ASSERT_TRUE(waitUntilIdle(launched.session()));
        EXPECT_EQ(asking.shown.size(), 1u);
        EXPECT_TRUE(fileOpenWhenAsked);
    }

    // After the window is up, a request opens from the event loop, not inside the handler.
    app.delegate().openRequest({first, third});
    EXPECT_EQ(app.session().filePath(), second);
    QApplication::processEvents();
    ASSERT_TRUE(waitUntilIdle(app.session()));
    EXPECT_EQ(app.session().filePath(), first);

    // Export as PDF… and Export as CSV… follow the document; Open Recent lists what was opened,
    // each file with its folder, so that two of one name tell apart.
    MainWindow &window = app.window();
    EXPECT_TRUE(window.exportAction()->isEnabled());
    EXPECT_TRUE(window.exportCSVAction()->isEnabled());
    openAndWait(app.session(), write("bad.x12", ""));
    EXPECT_FALSE(window.exportAction()->isEnabled());
    EXPECT_FALSE(window.exportCSVAction()->isEnabled());
    m_environment.set("HOME", m_dir.parent_path().c_str());
    const QString folder = u'~' + QDir::separator() + QString::fromStdString(m_dir.filename());
    m_platform.recent << QStringLiteral("/srv/R&D/first.x12");
    emit window.recentMenu()->aboutToShow();
    QStringList items;
    for (QAction *action : window.recentMenu()->actions())
        items << action->text();
    EXPECT_EQ(items, (QStringList{"first.x12 \u2014 " + folder, "second.x12 \u2014 " + folder,
                                  "first.x12 \u2014 /srv/R&&D", "", "&Clear Menu"}));
}

} // namespace
