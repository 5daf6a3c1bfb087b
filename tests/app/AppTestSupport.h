#pragma once

// What the window's tests share: a desktop that answers from a script, a fixture with a folder
// of its own, and a small claim.

#include "app/AppModel.h"
#include "app/DefaultHandler.h"
#include "app/Platform.h"
#include "common/Files.h"
#include "common/ScopedEnvironment.h"

#include <QTest>

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <functional>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include <unistd.h>

namespace app_testing {

/// Runs the event loop until the model has no open or export under way; false after `ms`.
inline bool waitUntilIdle(const AppModel &model, int ms = 60'000)
{
    return QTest::qWaitFor([&model] { return !model.isBusy(); }, ms);
}

/// Opens a file and waits until it is shown (or its error is); an export may still run.
inline void openAndWait(AppModel &model, const QString &path)
{
    model.open(path);
    EXPECT_TRUE(QTest::qWaitFor([&model] { return !model.loadingFile(); }, 60'000))
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

/// No known types, and asked before: a launch shows nothing.
struct QuietDesktop : TypeRegistry, AlertPresenter, PreferenceStore
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
};

inline const std::string claim =
    "ISA*00*          *00*          *ZZ*SENDER         *ZZ*RECEIVER       "
    "*240315*1230*^*00501*000000001*0*P*:~\n"
    "GS*HC*SENDER*RECEIVER*20240315*1230*1*X*005010X222A1~\n"
    "ST*837*0001~\n"
    "NM1*85*2*ACME CLINIC*****XX*1234567890~\n"
    "N3*12 MAIN ST~\n"
    "ZZZ*nm1 here~\n"
    "SE*5*0001~\n"
    "GE*1*1~\n"
    "IEA*1*000000001~\n";

} // namespace app_testing
