// Grabs the window in each view and state, in the light and the dark appearance:
//   kelvane_screenshots SAMPLE_FILE OUTPUT_FOLDER

#include "app/Appearance.h"
#include "app/HeadlessPlatform.h"
#include "app/MainWindow.h"
#include "app/OutlineTree.h"
#include "app/OutlineView.h"
#include "app/RowListView.h"
#include "app/SegmentsView.h"
#include "app/WindowSession.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QStyleFactory>
#include <QTreeView>

#include <cstdio>

namespace {

/// Runs the event loop until the session's work is done.
void settle(const WindowSession &session)
{
    while (session.isBusy() || session.isChecking())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

void grab(QWidget &window, const QString &path)
{
    QApplication::processEvents();
    window.grab().save(path);
    std::printf("%s\n", qPrintable(path));
}

} // namespace

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: kelvane_screenshots SAMPLE_FILE OUTPUT_FOLDER\n");
        return 2;
    }
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    // Light, then dark, as View > Appearance chooses them.
    Appearance appearance;
    const QString sample = QString::fromLocal8Bit(argv[1]);
    const QString folder = QString::fromLocal8Bit(argv[2]);

    // Made-up files for what the sample does not show: many findings, and a file that is no X12.
    QTemporaryDir scratch;
    const QString findings = scratch.filePath(QStringLiteral("envelopes.x12"));
    {
        QFile file(findings);
        file.open(QIODevice::WriteOnly);
        QByteArray text = "ISA*00*          *00*          *ZZ*SENDER         *ZZ*RECEIVER       "
                          "*240315*1230*^*00501*000000001*0*P*:~GS*HC*S*R*20240315*1230*1*X*"
                          "005010X222A1~";
        for (int i = 1; i <= 40; ++i)
            text += "ST*837*" + QByteArray::number(i) + "~BHT*0019*00*1~SE*9*" +
                    QByteArray::number(i + (i % 3 == 0 ? 1 : 0)) + "~";
        text += "GE*41*2~IEA*1*000000002~";
        file.write(text);
    }
    const QString letter = scratch.filePath(QStringLiteral("letter.txt"));
    {
        QFile file(letter);
        file.open(QIODevice::WriteOnly);
        file.write("Dear Sir or Madam~I write about the invoice of last month~which I have not "
                   "received~Yours faithfully~A. Customer~");
    }

    for (const bool dark : {false, true}) {
        appearance.setChoice(dark ? Appearance::Choice::dark : Appearance::Choice::light);
        const QString suffix = dark ? QStringLiteral("-dark.png") : QStringLiteral(".png");
        HeadlessPlatform platform;
        WindowSession session(platform);
        MainWindow window(session, platform, platform);
        window.resize(1200, 760);
        window.show();
        grab(window, folder + QStringLiteral("/welcome") + suffix);
        session.open(folder + QStringLiteral("/no-such-file.x12"));
        settle(session);
        grab(window, folder + QStringLiteral("/error") + suffix);
        session.open(sample);
        settle(session);
        grab(window, folder + QStringLiteral("/outline-summary") + suffix);
        QTreeView *tree = window.outline()->tree();
        tree->expandToDepth(4);
        const QModelIndex group = tree->model()->index(0, 0, tree->model()->index(0, 0));
        const QModelIndex set = tree->model()->index(0, 0, group);
        tree->setCurrentIndex(tree->model()->index(4, 0, set));
        grab(window, folder + QStringLiteral("/outline") + suffix);
        // The interchange header: sixteen elements with long names.
        tree->setCurrentIndex(tree->model()->index(0, 0));
        grab(window, folder + QStringLiteral("/outline-elements") + suffix);
        session.setViewMode(WindowSession::ViewMode::segments);
        window.segments()->list()->setCurrentIndex(window.segments()->list()->model()->index(5, 0));
        grab(window, folder + QStringLiteral("/segments") + suffix);
        session.setSearchText(QStringLiteral("nm1"));
        window.findNext();
        grab(window, folder + QStringLiteral("/segments-search") + suffix);
        session.setViewMode(WindowSession::ViewMode::raw);
        window.goToSegment(4);
        grab(window, folder + QStringLiteral("/raw") + suffix);
        session.setSearchText({});
        // The diagnoses of the first claim: findings beside their elements.
        session.setViewMode(WindowSession::ViewMode::segments);
        window.goToSegment(22);
        grab(window, folder + QStringLiteral("/segments-findings") + suffix);

        session.setViewMode(WindowSession::ViewMode::outline);
        session.open(findings);
        settle(session);
        grab(window, folder + QStringLiteral("/outline-findings") + suffix);
        session.open(letter);
        settle(session);
        grab(window, folder + QStringLiteral("/not-x12") + suffix);
    }
    return 0;
}
