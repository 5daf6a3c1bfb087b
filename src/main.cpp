#include "app/ContentView.h"
#include "app/DesktopIntegration.h"
#include "app/KelvaneApp.h"
#include "app/Platform.h"
#include "cli/CommandLineExport.h"

#include <QApplication>

#include <cstdio>
#include <exception>
#include <new>

int main(int argc, char **argv)
{
    // A command-line mode runs to completion here and ends the process: no window, no model.
    try {
        CommandLineExport::runIfRequested(argc, argv);
    } catch (const std::bad_alloc &) {
        std::fputs("error: not enough memory to open this file\n", stderr);
        return 1;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "error: %s\n", e.what());
        return 1;
    }

    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Kelvane"));
    QApplication::setApplicationName(QStringLiteral("Kelvane"));
    // File paths given at launch are the launch's open request.
    QStringList paths = QApplication::arguments().mid(1);
    paths.removeIf([](const QString &argument) { return argument.startsWith(u'-'); });
    // One instance per user: a second launch hands its files to the first one and ends.
    if (KelvaneApp::handToRunningInstance(paths))
        return 0;

    DesktopPlatform platform;
    DesktopTypeRegistry registry;
    MessageBoxAlerts alerts;
    SettingsPreferences preferences;
    KelvaneApp app(platform, registry, alerts, preferences);
    app.listenForLaunches();
    app.delegate().openRequest(paths);
    app.window().resize(1200, 760);
    app.showWindow();
    return QApplication::exec();
}
