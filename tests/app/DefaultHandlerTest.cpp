#include "app/AppTestSupport.h"
#include "app/DefaultHandler.h"
#include "common/ScopedEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

using namespace app_testing;

namespace {

bool waitFor(const std::function<bool()> &done)
{
    return QTest::qWaitFor(done, 2000);
}

const QString flagKey = QStringLiteral("didPromptForDefaultHandler");

TEST(DefaultHandlerTest, CompletionRunsOnceOnTheMainThread)
{
    for (const bool allUnknown : {false, true}) {
        FakeDesktop registry;
        if (allUnknown) {
            for (const QString &type : DefaultHandler::ownedTypeIdentifiers())
                registry.unknown.insert(type);
        }
        int calls = 0;
        int claimed = -1;
        QStringList failed;
        bool onMainThread = false;
        DefaultHandler::makeDefault(registry, [&](int c, const QStringList &f) {
            ++calls;
            claimed = c;
            failed = f;
            onMainThread = QThread::currentThread() == QApplication::instance()->thread();
        });
        EXPECT_EQ(calls, 0); // never inside the call
        ASSERT_TRUE(waitFor([&] { return calls > 0; }));
        QTest::qWait(500); // a second call would come by now
        EXPECT_EQ(calls, 1);
        EXPECT_TRUE(onMainThread);
        EXPECT_EQ(claimed, allUnknown ? 0 : 22);
        EXPECT_EQ(failed.size(), allUnknown ? 22 : 0);
        if (allUnknown) {
            EXPECT_EQ(failed.front(), QStringLiteral("io.github.kelvane.Kelvane.edi: the desktop "
                                                     "does not know this file type"));
        }
    }
}

TEST(DefaultHandlerTest, FirstLaunch)
{
    // A later launch asks nothing.
    {
        FakeDesktop desktop;
        desktop.flags[flagKey] = true;
        desktop.launch();
        EXPECT_TRUE(desktop.shown.empty());
        EXPECT_EQ(desktop.requests, 0);
    }
    // Already the default for every known type: nothing shown, the flag still set.
    {
        FakeDesktop desktop;
        for (const QString &type : DefaultHandler::ownedTypeIdentifiers())
            desktop.defaults[type] = QStringLiteral("kelvane.desktop");
        desktop.defaults.erase(DefaultHandler::ownedTypeIdentifiers()[5]);
        desktop.unknown.insert(DefaultHandler::ownedTypeIdentifiers()[5]); // ignored when unknown
        desktop.launch();
        EXPECT_TRUE(desktop.shown.empty());
        EXPECT_TRUE(desktop.flag(flagKey));
    }
    // "Not Now": nothing set, nothing more shown.
    {
        FakeDesktop desktop;
        desktop.answer = 1;
        desktop.launch();
        ASSERT_EQ(desktop.shown.size(), 1u);
        const Shown &question = desktop.shown.front();
        EXPECT_EQ(question.style, AlertPresenter::Style::informational);
        EXPECT_EQ(question.message, QStringLiteral("Open X12 files with Kelvane?"));
        EXPECT_EQ(
            question.informative,
            QStringLiteral("Sets Kelvane as the default app for .edi, .x12, .837, .835, .834, "
                           ".270, .271, .276, .277, .999 and related files. Plain .txt files "
                           "are left unchanged. You can change this later from the Kelvane "
                           "menu."));
        EXPECT_EQ(question.buttons, (QStringList{"Set as Default", "Not Now"}));
        EXPECT_EQ(desktop.requests, 0);
        EXPECT_TRUE(desktop.flag(flagKey));
    }
    // "Set as Default" and every type accepted: nothing more is shown.
    {
        FakeDesktop desktop;
        desktop.launch();
        QTest::qWait(500);
        EXPECT_EQ(desktop.requests, 22);
        EXPECT_EQ(desktop.shown.size(), 1u);
    }
}

TEST(DefaultHandlerTest, Reports)
{
    const auto &types = DefaultHandler::ownedTypeIdentifiers();
    // All accepted, from the menu.
    {
        FakeDesktop desktop;
        desktop.menu();
        ASSERT_TRUE(waitFor([&] { return !desktop.shown.empty(); }));
        EXPECT_EQ(desktop.shown.front().style, AlertPresenter::Style::informational);
        EXPECT_EQ(desktop.shown.front().message,
                  QStringLiteral("Kelvane now opens all 22 X12 file types."));
        EXPECT_EQ(desktop.shown.front().informative, QString());
    }
    // Two refused: both paths warn with the two entries.
    for (const bool firstLaunch : {false, true}) {
        FakeDesktop desktop;
        desktop.refused = {types[2], types[7]};
        if (firstLaunch)
            desktop.launch();
        else
            desktop.menu();
        ASSERT_TRUE(waitFor([&] { return desktop.shown.size() == (firstLaunch ? 2u : 1u); }));
        const Shown &report = desktop.shown.back();
        EXPECT_EQ(report.style, AlertPresenter::Style::warning);
        EXPECT_EQ(report.message, QStringLiteral("Set 20 of 22 file types."));
        QStringList lines = report.informative.split(u'\n');
        lines.sort(); // answers arrive in any order
        EXPECT_EQ(lines, (QStringList{types[2] + ": refused", types[7] + ": refused"}));
    }
    // More than five failures: the first five recorded are listed.
    {
        FakeDesktop desktop;
        for (std::size_t i = 0; i < 8; ++i)
            desktop.unknown.insert(types[i]);
        desktop.menu();
        ASSERT_TRUE(waitFor([&] { return !desktop.shown.empty(); }));
        EXPECT_EQ(desktop.shown.front().message, QStringLiteral("Set 14 of 22 file types."));
        const QStringList lines = desktop.shown.front().informative.split(u'\n');
        ASSERT_EQ(lines.size(), 5);
        EXPECT_EQ(lines.front(), types[0] + ": the desktop does not know this file type");
    }
    // Not installed, or none of the types known: the menu says so and claims nothing, and the
    // first launch waits for the installed copy.
    for (const bool installed : {false, true}) {
        FakeDesktop desktop;
        desktop.installed = installed;
        if (installed) {
            for (const QString &type : types)
                desktop.unknown.insert(type);
        }
        desktop.menu();
        ASSERT_EQ(desktop.shown.size(), 1u);
        EXPECT_EQ(desktop.shown.front().style, AlertPresenter::Style::warning);
        EXPECT_EQ(desktop.shown.front().message,
                  QStringLiteral("Kelvane must be installed to open X12 files by default."));
        desktop.launch();
        EXPECT_EQ(desktop.shown.size(), 1u);
        EXPECT_FALSE(desktop.flag(flagKey));
        EXPECT_EQ(desktop.requests, 0);
    }
}

} // namespace
