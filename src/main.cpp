#include "app/DesktopPlatform.h"
#include "app/DesktopTypeRegistry.h"
#include "app/Appearance.h"
#include "app/KelvaneApp.h"
#include "app/MainWindow.h"
#include "app/MessageBoxAlerts.h"
#include "app/SettingsPreferences.h"
#include "cli/CommandLine.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>
#include <utility>

#include <unistd.h>

namespace {

struct HeldMessage
{
    QtMsgType type;
    QByteArray category;
    QString text;
};

QtMessageHandler s_previousHandler = nullptr;
// What the platform plugin says while the window's platform starts, held back: the first of it is
// the reason when the platform cannot start, and it is passed on when the platform can.
QList<HeldMessage> s_platformMessages;

/// While the window's platform starts: Qt ends the process with abort() (status 134) when no
/// display can be reached. Say why in our own words instead, and end with status 1.
void platformMessages(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const QByteArray category(context.category ? context.category : "");
    if (type != QtFatalMsg) {
        if (category.startsWith("qt.qpa"))
            s_platformMessages.append({type, category, message});
        else if (s_previousHandler)
            s_previousHandler(type, context, message);
        return;
    }
    QByteArray reason;
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        reason = "no display: neither DISPLAY nor WAYLAND_DISPLAY is set";
    else
        reason = (s_platformMessages.isEmpty() ? message : s_platformMessages.front().text)
                     .toLocal8Bit();
    for (char &c : reason) {
        if (static_cast<unsigned char>(c) < 0x20)
            c = ' ';
    }
    std::fprintf(stderr,
                 "error: the window cannot start (%s); without a display, use --dump-tree, "
                 "--dump-json, --check or --export-pdf\n",
                 reason.trimmed().constData());
    std::fflush(stderr);
    ::_exit(1);
}

/// Starts the window's platform, or ends the process with a message when it cannot.
void startPlatform()
{
    s_previousHandler = qInstallMessageHandler(platformMessages);
}

/// Passes on what the platform said while it started, now that it has.
void platformStarted()
{
    qInstallMessageHandler(s_previousHandler);
    for (const HeldMessage &held : std::exchange(s_platformMessages, {})) {
        const QMessageLogContext context(nullptr, 0, nullptr, held.category.constData());
        s_previousHandler(held.type, context, held.text);
    }
}

} // namespace

int main(int argc, char **argv)
{
    // A command-line mode runs to completion here and ends the process: no window, no session.
    try {
        CommandLine::runIfRequested(argc, argv);
    } catch (const std::bad_alloc &) {
        CommandLine::reportOutOfMemory(STDERR_FILENO);
        return 1;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "error: %s\n", e.what());
        return 1;
    }

    startPlatform();
    QApplication application(argc, argv);
    platformStarted();
    QApplication::setOrganizationName(QStringLiteral("Kelvane"));
    QApplication::setApplicationName(QStringLiteral("Kelvane"));
    // File paths given at launch are the launch's open request.
    QStringList paths = QApplication::arguments().mid(1);
    paths.removeIf([](const QString &argument) { return argument.startsWith(u'-'); });
    // One instance per user and display: a second launch hands its files to the first one and
    // ends.
    if (KelvaneApp::handToRunningInstance(paths))
        return 0;

    DesktopPlatform platform;
    DesktopTypeRegistry registry;
    MessageBoxAlerts alerts;
    SettingsPreferences preferences;
    KelvaneApp app(platform, registry, alerts, preferences);
    app.listenForLaunches();
    app.delegate().openRequest(paths);
    app.appearance().followDesktop();
    app.showWindow();
    return QApplication::exec();
}
