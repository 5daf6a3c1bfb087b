// Times the window on a big file: open (read, decode, parse) plus the first paint of the outline,
// and one keystroke in the search field with the Segments view on screen. Prints peak memory.
//
//   QT_QPA_PLATFORM=offscreen kelvane_window_benchmark FILE

#include "app/AppModel.h"
#include "app/ContentView.h"
#include "app/Platform.h"

#include <QApplication>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

/// Peak resident memory of this process in MiB (VmHWM).
double peakMiB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kelvane_window_benchmark FILE\n");
        return 2;
    }
    HeadlessPlatform platform;
    AppModel model(platform);
    ContentView window(model);
    window.resize(1200, 760);
    window.show();
    QApplication::processEvents();

    auto start = std::chrono::steady_clock::now();
    model.open(QString::fromLocal8Bit(argv[1]));
    while (model.isBusy())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    window.grab(); // the first paint of the outline
    const double open = secondsSince(start);

    model.setViewMode(AppModel::ViewMode::flat);
    window.grab();
    start = std::chrono::steady_clock::now();
    model.setSearchText(QStringLiteral("n"));
    window.grab();
    const double firstKey = secondsSince(start);
    start = std::chrono::steady_clock::now();
    model.setSearchText(QStringLiteral("nm"));
    window.grab();
    const double secondKey = secondsSince(start);

    std::printf("open and first paint: %.3f s\nkeystroke \"n\": %.3f s\nkeystroke \"nm\": %.3f s\n"
                "peak memory: %.1f MiB\n",
                open, firstKey, secondKey, peakMiB());
    return model.document() ? 0 : 1;
}
