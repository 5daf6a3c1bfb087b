#include "app/AppModel.h"
#include "app/ContentView.h"
#include "app/Platform.h"
#include "cli/CommandLineExport.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <exception>
#include <new>

int main(int argc, char **argv)
{
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
    DesktopPlatform platform;
    AppModel model(platform);
    ContentView window(model);
    window.resize(1200, 760);
    window.show();
    // A file given at launch opens once the window is up.
    const QStringList arguments = QApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (!arguments[i].startsWith(u'-')) {
            QTimer::singleShot(0, &model, [&model, path = arguments[i]] { model.open(path); });
            break;
        }
    }
    return QApplication::exec();
}
