#pragma once

// What the window's tests share: a desktop that answers from a script, a fixture with a folder
// of its own, and a small claim.

#include "app/WindowSession.h"
#include "app/AlertPresenter.h"
#include "app/DefaultHandler.h"
#include "app/Platform.h"
#include "app/PreferenceStore.h"
#include "app/TypeRegistry.h"
#include "common/Files.h"
#include "common/ScopedEnvironment.h"
#include "core/TestSupport.h"

#include <QTest>

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <functional>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace app_testing {

/// Runs the event loop until the session has no open or export under way; false after `ms`.
inline bool waitUntilIdle(const WindowSession &session, int ms = 60'000)
{
    return QTest::qWaitFor([&session] { return !session.isBusy(); }, ms);
}

/// Opens a file and waits until it is shown (or its error is); an export may still run.
inline void openAndWait(WindowSession &session, const QString &path)
{
    session.open(path);
    EXPECT_TRUE(QTest::qWaitFor(
        [&session] { return !session.loadingFile() && !session.isChecking(); }, 60'000))
        << "the open did not finish";
}

/// A gate a worker waits at until the test opens it.
class Latch
{
public:
    void wait()
    {
        std::unique_lock lock(m_mutex);
        m_waiting = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_open; });
    }
    void open()
    {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    /// Blocks until a worker is waiting at the gate.
    void awaitWaiter()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_waiting; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
    bool m_waiting = false;
};

/// A desktop that answers panels from a script and records what it was asked.
class ScriptedPlatform : public Platform
{
public:
    std::optional<QString> openAnswer;
    std::optional<QString> saveAnswer;
    QString lastMessage;
    QString lastFolder;
    QString lastProposedName;
    QStringList shown;
    QStringList recent;
    int panels = 0;

    std::optional<QString> chooseFileToOpen(const QString &message, const QString &folder) override
    {
        ++panels;
        lastMessage = message;
        lastFolder = folder;
        return openAnswer;
    }
    std::optional<QString> chooseExportDestination(const QString &proposedName,
                                                   const QString &message, ExportFormat) override
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
};

struct Shown
{
    AlertPresenter::Style style;
    QString message;
    QString informative;
    QStringList buttons;
};

/// A desktop that answers from a script and records what it is asked: its registry answers each
/// request from a thread of its own, like the real one. Every type is known, none is Kelvane's
/// yet, and the first launch has not asked.
struct FakeDesktop : TypeRegistry, AlertPresenter, PreferenceStore
{
    bool installed = true;
    std::set<QString> unknown;
    std::set<QString> refused;
    std::map<QString, QString> defaults;
    int requests = 0;
    std::vector<Shown> shown;
    int answer = 0;
    std::map<QString, bool> flags;
    std::function<void()> onAlert;

    bool isInstalled() const override { return installed; }
    bool knows(const QString &type) const override { return !unknown.contains(type); }
    std::optional<QString> defaultApplication(const QString &type) const override
    {
        const auto it = defaults.find(type);
        return it == defaults.end() ? std::nullopt : std::optional<QString>(it->second);
    }
    QString thisApplication() const override { return QStringLiteral("kelvane.desktop"); }
    void setDefault(const QString &type,
                    std::function<void(std::optional<QString> error)> done) override
    {
        ++requests;
        const bool refuse = refused.contains(type);
        std::thread([done, refuse] {
            done(refuse ? std::optional<QString>(QStringLiteral("refused")) : std::nullopt);
        }).detach();
    }
    int show(Style style, const QString &message, const QString &informative,
             const QStringList &buttons) override
    {
        shown.push_back({style, message, informative, buttons});
        if (onAlert)
            onAlert();
        return answer;
    }
    bool flag(const QString &key) const override
    {
        const auto it = flags.find(key);
        return it != flags.end() && it->second;
    }
    void setFlag(const QString &key, bool value) override { flags[key] = value; }
    QByteArray data(const QString &key) const override
    {
        const auto it = stored.find(key);
        return it == stored.end() ? QByteArray() : it->second;
    }
    void setData(const QString &key, const QByteArray &value) override { stored[key] = value; }
    std::map<QString, QByteArray> stored;

    void launch() { DefaultHandler::promptOnFirstLaunchIfNeeded(*this, *this, *this); }
    void menu() { DefaultHandler::makeDefaultInteractively(*this, *this); }
};

/// Asked before: a launch shows nothing.
struct QuietDesktop : FakeDesktop
{
    QuietDesktop() { flags[QStringLiteral("didPromptForDefaultHandler")] = true; }
};

class AppTest : public files::ScratchTest
{
protected:
    void SetUp() override
    {
        ScratchTest::SetUp();
        m_environment.set("LC_ALL", "en_US.UTF-8");
    }

    QString write(const std::string &name, const std::string &bytes)
    {
        return QString::fromStdString(ScratchTest::write(name, bytes));
    }

    ScopedEnvironment m_environment;
    ScriptedPlatform m_platform;
    QuietDesktop m_desktop; // the window's alerts
};

inline const std::string claim = testing_support::isaHeader() +
                                 "\nGS*HC*SENDER*RECEIVER*20240315*1230*1*X*005010X222A1~\n"
                                 "ST*837*0001~\n"
                                 "NM1*85*2*ACME CLINIC*****XX*1234567890~\n"
                                 "N3*12 MAIN ST~\n"
                                 "ZZZ*nm1 here~\n"
                                 "SE*5*0001~\n"
                                 "GE*1*1~\n"
                                 "IEA*1*000000001~\n";

/// A claim whose report runs to a few hundred pages: its export takes a while.
inline std::string bigClaim()
{
    return testing_support::repeated("NM1*85*2*ACME CLINIC*****XX*1234567890~N3*12 MAIN ST~",
                                     8'000);
}

} // namespace app_testing
