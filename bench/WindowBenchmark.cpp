// Times the window on a big file: how long until the outline is painted, how responsive the
// window stays meanwhile (the longest stretch without a turn of the event loop, with a repaint
// asked for every 10 ms), how soon a small file asked for during the big open is on screen, how
// long each view takes to show, and the slowest keystroke while typing a few search terms with
// the Segments view on screen. Prints peak memory.
//
//   QT_QPA_PLATFORM=offscreen kelvane_window_benchmark BIG_FILE SMALL_FILE

#include "app/HeadlessPlatform.h"
#include "app/FindingList.h"
#include "app/FindingListModel.h"
#include "app/FindingsPanel.h"
#include "app/MainWindow.h"
#include "app/WindowSession.h"
#include "core/model/X12Document.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

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

/// Records the longest time between two repaints asked for every 10 ms while it runs.
class Heartbeat
{
public:
    explicit Heartbeat(QWidget &window)
    {
        m_clock.start();
        QObject::connect(&m_timer, &QTimer::timeout, &window, [this, &window] {
            window.repaint();
            const qint64 now = m_clock.elapsed();
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        });
        m_timer.start(10);
    }
    qint64 longestMs() const { return m_longest; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

void runWhile(const std::function<bool()> &condition)
{
    // Waits for events, asleep: processEvents with a time limit polls without sleeping, and
    // would take a core from the workers being measured. A timer wakes it at least every 5 ms.
    QTimer tick;
    tick.start(5);
    while (condition())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr,
                     "usage: kelvane_window_benchmark BIG_FILE SMALL_FILE [FINDINGS_FILE]\n");
        return 2;
    }
    const QString big = QString::fromLocal8Bit(argv[1]);
    const QString small = QString::fromLocal8Bit(argv[2]);
    HeadlessPlatform platform;
    WindowSession session(platform);
    MainWindow window(session);
    window.resize(1200, 760);
    window.show();
    QApplication::processEvents();

    // The big file alone: time to a painted outline, and the longest pause of the window.
    double open = 0;
    double checked = 0; // until the guide check's findings are painted
    qint64 longestPause = 0;
    {
        Heartbeat heartbeat(window);
        const auto start = std::chrono::steady_clock::now();
        session.open(big);
        runWhile([&] { return session.isBusy(); });
        window.grab(); // the first paint of the outline
        open = secondsSince(start);
        runWhile([&] { return session.isChecking(); });
        window.grab();
        checked = secondsSince(start);
        longestPause = heartbeat.longestMs();
    }

    // The big file again, and 100 ms later a small one: the small one wins and shows at once.
    session.open(QStringLiteral("/nonexistent"));
    runWhile([&] { return session.isBusy(); });
    session.open(big);
    QElapsedTimer wait;
    wait.start();
    runWhile([&] { return wait.elapsed() < 100; });
    const auto asked = std::chrono::steady_clock::now();
    session.open(small);
    runWhile([&] { return session.isBusy(); });
    window.grab();
    const double smallShown = secondsSince(asked);
    const bool smallWon = session.document() && session.filePath() == small;

    session.open(big);
    runWhile([&] { return session.isBusy(); });
    window.grab();

    // Each view in turn, until it is painted.
    auto switchTo = [&](WindowSession::ViewMode mode) {
        const auto begin = std::chrono::steady_clock::now();
        session.setViewMode(mode);
        window.grab();
        return secondsSince(begin);
    };
    const double toSegments = switchTo(WindowSession::ViewMode::segments);
    const double toRaw = switchTo(WindowSession::ViewMode::raw);
    const double toOutline = switchTo(WindowSession::ViewMode::outline);

    // Terms typed a key at a time with the Segments view on screen: the slowest keystroke until
    // the search's list is painted.
    switchTo(WindowSession::ViewMode::segments);
    double longestKeyBlock = 0; // the window's thread held by the keystroke itself
    auto slowestKey = [&](const QString &term) {
        double slowest = 0;
        for (qsizetype k = 1; k <= term.size(); ++k) {
            const auto begin = std::chrono::steady_clock::now();
            session.setSearchText(term.left(k));
            longestKeyBlock = std::max(longestKeyBlock, secondsSince(begin));
            runWhile([&] { return session.isSearching(); }); // the search runs on a worker
            window.grab();
            slowest = std::max(slowest, secondsSince(begin));
        }
        session.setSearchText(QString());
        window.grab();
        return slowest;
    };
    const QStringList terms{QStringLiteral("NM1"), QStringLiteral("ALLIANCE HEALTH"),
                            QStringLiteral("2300")};
    std::vector<double> keys;
    for (const QString &term : terms)
        keys.push_back(slowestKey(term));

    std::printf("open and first paint: %.3f s\n"
                "guide check's findings painted: %.3f s after the open began\n"
                "longest pause of the window during the open and the check: %lld ms\n"
                "small file asked for during the big open, shown after: %.3f s (%s)\n"
                "switch to Segments: %.3f s, to Raw: %.3f s, to Outline: %.3f s\n",
                open, checked, static_cast<long long>(longestPause), smallShown,
                smallWon ? "it won" : "it did NOT win", toSegments, toRaw, toOutline);
    for (std::size_t k = 0; k < keys.size(); ++k)
        std::printf("slowest keystroke typing \"%s\": %.3f s\n", qPrintable(terms[int(k)]),
                    keys[k]);
    std::printf("longest the window's thread was held by a keystroke: %.3f s\n", longestKeyBlock);
    if (argc == 4) {
        // A file with many findings: their list scrolled to its end, and filtered by a text.
        session.open(QString::fromLocal8Bit(argv[3]));
        runWhile([&] { return session.isBusy() || session.isChecking(); });
        FindingsPanel *panel = window.findingsPanel();
        window.grab();
        auto begin = std::chrono::steady_clock::now();
        panel->list()->scrollToBottom();
        window.grab();
        const double toEnd = secondsSince(begin);
        begin = std::chrono::steady_clock::now();
        panel->model()->filter(FindingListModel::Severities::errors, QStringLiteral("2010ba"));
        window.grab();
        const double filtered = secondsSince(begin);
        std::printf("findings: %d listed; to the end of the list: %.3f s; filtered by a text: "
                    "%.3f s (%d shown)\n",
                    int(session.findings()->size()), toEnd, filtered, panel->model()->rowCount());
    }
    std::printf("peak memory: %.1f MiB\n", peakMiB());
    return session.document() && smallWon ? 0 : 1;
}
