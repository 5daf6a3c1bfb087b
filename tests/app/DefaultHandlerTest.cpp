#include "app/AppTestSupport.h"
#include "app/DefaultHandler.h"
#include "app/DesktopIntegration.h"
#include "app/RecentDocuments.h"
#include "common/ScopedEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <set>
#include <thread>

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
            EXPECT_EQ(failed.front(),
                      QStringLiteral("io.github.kelvane.Kelvane.edi: No such file or directory"));
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
        EXPECT_EQ(lines.front(), types[0] + ": No such file or directory");
    }
}

TEST(DefaultHandlerTest, MimeAppsListKeepsEverythingElse)
{
    const QString before = QStringLiteral("# mine\n"
                                          "[Added Associations]\n"
                                          "text/plain=gedit.desktop;\n"
                                          "\n"
                                          "[Default Applications]\n"
                                          "image/png=eog.desktop;\n"
                                          "application/x-kelvane-837=other.desktop;\n"
                                          "\n"
                                          "[Removed Associations]\n"
                                          "text/html=firefox.desktop;\n");
    const QString replaced = DesktopTypeRegistry::withDefault(
        before, QStringLiteral("application/x-kelvane-837"), QStringLiteral("k.desktop"));
    EXPECT_EQ(replaced, QString(before).replace(QStringLiteral("other.desktop"),
                                                QStringLiteral("k.desktop")));
    const QString added = DesktopTypeRegistry::withDefault(
        before, QStringLiteral("application/x-kelvane-835"), QStringLiteral("k.desktop"));
    EXPECT_EQ(added, QString(before).replace(
                         QStringLiteral("other.desktop;\n"),
                         QStringLiteral("other.desktop;\napplication/x-kelvane-835=k.desktop;\n")));
    EXPECT_EQ(
        DesktopTypeRegistry::withDefault({}, QStringLiteral("a/b"), QStringLiteral("k.desktop")),
        QStringLiteral("[Default Applications]\na/b=k.desktop;\n"));
    EXPECT_EQ(DesktopTypeRegistry::defaultIn(added, QStringLiteral("application/x-kelvane-835")),
              QStringLiteral("k.desktop"));
    EXPECT_EQ(DesktopTypeRegistry::defaultIn(added, QStringLiteral("text/plain")), std::nullopt);
}

} // namespace

namespace {

TEST(RecentDocumentsTest, KeepsOtherApplicationsEntries)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    ScopedEnvironment environment;
    environment.set("XDG_DATA_HOME", home.path().toUtf8().constData());
    const QString list = home.path() + QStringLiteral("/recently-used.xbel");
    QFile file(list);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"(<?xml version="1.0" encoding="UTF-8"?>
<xbel version="1.0" xmlns:bookmark="http://www.freedesktop.org/standards/desktop-bookmarks" xmlns:mime="http://www.freedesktop.org/standards/shared-mime-info">
  <bookmark href="file:///tmp/other.txt" added="2026-01-01T00:00:00Z" modified="2026-01-01T00:00:00Z" visited="2026-01-01T00:00:00Z">
    <info><metadata owner="http://freedesktop.org"><mime:mime-type type="text/plain"/>
      <bookmark:applications><bookmark:application name="gedit" exec="'gedit %u'" modified="2026-01-01T00:00:00Z" count="3"/></bookmark:applications>
    </metadata></info>
  </bookmark>
</xbel>
)");
    file.close();
    EXPECT_EQ(RecentDocuments::listPath(), list);

    ASSERT_TRUE(RecentDocuments::note(QStringLiteral("/tmp/a.837"),
                                      QStringLiteral("application/x-kelvane-837")));
    QThread::msleep(5);
    ASSERT_TRUE(
        RecentDocuments::note(QStringLiteral("/tmp/other.txt"), QStringLiteral("text/plain")));
    QThread::msleep(5);
    ASSERT_TRUE(RecentDocuments::note(QStringLiteral("/tmp/a.837"),
                                      QStringLiteral("application/x-kelvane-837")));
    EXPECT_EQ(RecentDocuments::opened(), (QStringList{"/tmp/a.837", "/tmp/other.txt"}));

    ASSERT_TRUE(RecentDocuments::clear());
    EXPECT_TRUE(RecentDocuments::opened().isEmpty());
    QFile after(list);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(after.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("name=\"gedit\""))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("file:///tmp/other.txt")));
    EXPECT_FALSE(text.contains(QStringLiteral("a.837")));
}

TEST(RecentDocumentsTest, UnparsableListIsLeftAsItIs)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    ScopedEnvironment environment;
    environment.set("XDG_DATA_HOME", home.path().toUtf8().constData());
    // Cut off in the middle of another application's bookmark, as a crashed writer leaves it.
    const QByteArray truncated = R"(<?xml version="1.0" encoding="UTF-8"?>
<xbel version="1.0" xmlns:bookmark="http://www.freedesktop.org/standards/desktop-bookmarks">
  <bookmark href="file:///tmp/other.txt" added="2026-01-01T00:00:00Z">
    <info><metadata owner="http://freedesktop.org">
      <bookmark:applications><bookmark:application name="gedit" exec="'ged)";
    QFile file(RecentDocuments::listPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(truncated);
    file.close();

    static QStringList warnings;
    warnings.clear();
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
            if (type == QtWarningMsg)
                warnings << text;
        });
    EXPECT_FALSE(RecentDocuments::note(QStringLiteral("/tmp/a.837"),
                                       QStringLiteral("application/x-kelvane-837")));
    EXPECT_FALSE(RecentDocuments::clear());
    EXPECT_TRUE(RecentDocuments::opened().isEmpty());
    qInstallMessageHandler(previous);

    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), truncated.toStdString()); // byte for byte
    // Said once, not on every look at the menu, with where the parser stopped.
    ASSERT_EQ(warnings.size(), 1) << warnings.join(u'\n').toStdString();
    EXPECT_TRUE(warnings.front().contains(RecentDocuments::listPath()));
    EXPECT_TRUE(warnings.front().contains(QStringLiteral("line 5")))
        << warnings.front().toStdString();
}

} // namespace

namespace {

TEST(DesktopTypeRegistryTest, WritesTheUsersListAndReportsFailures)
{
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    ScopedEnvironment environment;
    environment.set("XDG_CONFIG_HOME", config.path().toUtf8().constData());
    const QString list = config.path() + QStringLiteral("/mimeapps.list");
    EXPECT_EQ(DesktopTypeRegistry::userMimeAppsList(), list);
    QFile file(list);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Default Applications]\ntext/plain=gedit.desktop;\n");
    file.close();

    DesktopTypeRegistry registry;
    const QString type = DefaultHandler::ownedTypeIdentifiers()[9]; // .834
    // The answer to one request, which comes on another thread.
    std::optional<std::optional<QString>> answer;
    std::mutex lock;
    const auto request = [&] {
        answer.reset();
        registry.setDefault(type, [&](std::optional<QString> error) {
            std::lock_guard guard(lock);
            answer = error;
        });
        EXPECT_TRUE(waitFor([&] {
            std::lock_guard guard(lock);
            return answer.has_value();
        }));
        std::lock_guard guard(lock);
        return answer.value_or(QStringLiteral("no answer"));
    };
    EXPECT_EQ(request(), std::nullopt);
    EXPECT_EQ(registry.defaultApplication(type),
              QStringLiteral("io.github.kelvane.Kelvane.desktop"));
    QFile written(list);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(written.readAll()),
              QStringLiteral("[Default Applications]\ntext/plain=gedit.desktop;\n"
                             "application/x-kelvane-834=io.github.kelvane.Kelvane.desktop;\n"));

    // A list that cannot be replaced is a failure for the type, never a success.
    QFile::remove(list);
    QDir().mkpath(list);
    EXPECT_NE(request(), std::nullopt);
}

} // namespace
