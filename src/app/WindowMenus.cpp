#include "app/WindowMenus.h"

#include "app/Appearance.h"
#include "app/MainWindow.h"
#include "app/OutlineTree.h"
#include "app/OutlineView.h"
#include "app/Platform.h"
#include "app/WindowSession.h"
#include "core/Version.h"

#include <QAction>
#include <QActionGroup>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>

namespace {

const QString keyboardShortcuts = QStringLiteral("Ctrl+O\tOpen a file\n"
                                                 "Ctrl+E\tExport as PDF\n"
                                                 "Ctrl+F\tSearch\n"
                                                 "Enter, F3\tNext match\n"
                                                 "Shift+F3\tPrevious match\n"
                                                 "Escape\tClear the search\n"
                                                 "Ctrl+G\tGo to a segment by number\n"
                                                 "Ctrl+C\tCopy the selected segment or values\n"
                                                 "Ctrl+1, 2, 3\tOutline, Segments, Raw\n"
                                                 "Ctrl+Shift+F\tShow or hide the findings\n"
                                                 "*\tExpand the selected node's subtree\n"
                                                 "Ctrl+Q\tQuit");

/// A recent document's item: its name, then its folder (the home folder as "~", a long one cut in
/// the middle), so that two files of one name tell apart. "&" is doubled, or it would underline
/// the letter after it.
QString recentItemText(const QString &path)
{
    const QFileInfo file(path);
    QString folder = file.absolutePath();
    const QString home = QDir::homePath();
    if (home != QStringLiteral("/") && (folder == home || folder.startsWith(home + u'/')))
        folder = u'~' + folder.mid(home.size());
    if (folder.size() > 60)
        folder = folder.left(24) + u'\u2026' + folder.right(35);
    QString text = file.fileName() + QStringLiteral(" \u2014 ") + folder;
    return text.replace(u'&', QStringLiteral("&&"));
}

} // namespace

WindowMenus::WindowMenus(MainWindow &window, WindowSession &session, Platform &platform)
    : QObject(&window), m_window(window), m_session(session), m_platform(platform)
{
    buildAppMenu();
    buildFileMenu();
    buildEditMenu();
    buildViewMenu();
    buildHelpMenu();
}

void WindowMenus::enableDocumentItems(bool shown, bool exporting)
{
    for (QAction *item : m_documentItems)
        item->setEnabled(shown);
    // One export at a time.
    m_exportAction->setEnabled(shown && !exporting);
    m_exportCSVAction->setEnabled(shown && !exporting);
}

void WindowMenus::buildAppMenu()
{
    QMenu *app = m_window.menuBar()->addMenu(QStringLiteral("&Kelvane"));
    QAction *makeDefault = app->addAction(QStringLiteral("&Make Default App for X12 Files\u2026"));
    connect(makeDefault, &QAction::triggered, &m_window, &MainWindow::makeDefaultRequested);
    app->addSeparator();
    QAction *quit = app->addAction(QStringLiteral("&Quit"));
    quit->setShortcut(QKeySequence::Quit);
    // Through the window, which asks first when an export would be lost.
    connect(quit, &QAction::triggered, &m_window, &QWidget::close);
}

void WindowMenus::buildFileMenu()
{
    // No item opens a second window: the one window shows one document at a time.
    QMenu *file = m_window.menuBar()->addMenu(QStringLiteral("&File"));
    m_openAction = file->addAction(QStringLiteral("&Open\u2026"));
    m_openAction->setShortcut(QKeySequence::Open);
    connect(m_openAction, &QAction::triggered, &m_session, &WindowSession::showOpenPanel);
    m_recent = file->addMenu(QStringLiteral("Open &Recent"));
    m_recent->setToolTipsVisible(true);
    connect(m_recent, &QMenu::aboutToShow, this, [this] {
        m_recent->clear();
        const QStringList recent = m_platform.recentDocuments();
        for (const QString &path : recent) {
            QAction *item = m_recent->addAction(recentItemText(path));
            item->setToolTip(path);
            connect(item, &QAction::triggered, this, [this, path] { m_session.open(path); });
        }
        if (!recent.isEmpty())
            m_recent->addSeparator();
        QAction *clear = m_recent->addAction(QStringLiteral("&Clear Menu"));
        clear->setEnabled(!recent.isEmpty());
        connect(clear, &QAction::triggered, this, [this] { m_platform.clearRecentDocuments(); });
    });
    file->addSeparator();
    m_exportAction = file->addAction(QStringLiteral("&Export as PDF\u2026"));
    m_exportAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    connect(m_exportAction, &QAction::triggered, &m_session, &WindowSession::exportPDF);
    m_exportCSVAction = file->addAction(QStringLiteral("Export as &CSV\u2026"));
    connect(m_exportCSVAction, &QAction::triggered, &m_session, &WindowSession::exportCSV);
}

void WindowMenus::buildEditMenu()
{
    QMenu *edit = m_window.menuBar()->addMenu(QStringLiteral("&Edit"));
    QAction *copy = edit->addAction(QStringLiteral("&Copy"));
    copy->setShortcut(QKeySequence::Copy);
    connect(copy, &QAction::triggered, &m_window, &MainWindow::copy);
    edit->addSeparator();
    QAction *find = edit->addAction(QStringLiteral("&Find"));
    find->setShortcut(QKeySequence::Find);
    connect(find, &QAction::triggered, this, [this] {
        m_window.searchField()->setFocus(Qt::ShortcutFocusReason);
        m_window.searchField()->selectAll();
    });
    QAction *next = edit->addAction(QStringLiteral("Find &Next"));
    next->setShortcut(QKeySequence::FindNext);
    connect(next, &QAction::triggered, this, [this] { m_window.findNext(); });
    QAction *previous = edit->addAction(QStringLiteral("Find &Previous"));
    previous->setShortcut(QKeySequence::FindPrevious);
    connect(previous, &QAction::triggered, this, [this] { m_window.findNext(true); });
    edit->addSeparator();
    QAction *goTo = edit->addAction(QStringLiteral("&Go to Segment\u2026"));
    goTo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    connect(goTo, &QAction::triggered, &m_window, &MainWindow::askForSegment);
    m_documentItems << copy << find << next << previous << goTo;
}

void WindowMenus::buildViewMenu()
{
    QMenu *view = m_window.menuBar()->addMenu(QStringLiteral("&View"));
    const QString modeNames[] = {QStringLiteral("&Outline"), QStringLiteral("&Segments"),
                                 QStringLiteral("&Raw")};
    for (WindowSession::ViewMode mode : WindowSession::allViewModes) {
        QAction *item = view->addAction(modeNames[int(mode)]);
        item->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + int(mode))));
        connect(item, &QAction::triggered, this, [this, mode] {
            if (m_session.document())
                m_session.setViewMode(mode);
        });
        m_documentItems << item;
    }
    view->addSeparator();
    QAction *expand = view->addAction(QStringLiteral("&Expand All"));
    connect(expand, &QAction::triggered, this, [this] {
        if (!m_session.document())
            return;
        m_session.setViewMode(WindowSession::ViewMode::outline);
        m_window.outline()->tree()->expandWithin(QModelIndex());
    });
    QAction *collapse = view->addAction(QStringLiteral("&Collapse All"));
    connect(collapse, &QAction::triggered, this,
            [this] { m_window.outline()->tree()->collapseAll(); });
    m_documentItems << expand << collapse;
    view->addSeparator();
    view->addAction(m_window.findingsAction());
    view->addSeparator();
    QMenu *appearance = view->addMenu(QStringLiteral("&Appearance"));
    auto *choices = new QActionGroup(appearance);
    for (const QString &name :
         {QStringLiteral("&System"), QStringLiteral("&Light"), QStringLiteral("&Dark")}) {
        QAction *item = choices->addAction(name);
        item->setCheckable(true);
        item->setEnabled(false);
        appearance->addAction(item);
        m_appearanceItems << item;
    }
}

void WindowMenus::chooseAppearanceOf(Appearance &appearance)
{
    for (int i = 0; i < m_appearanceItems.size(); ++i) {
        QAction *item = m_appearanceItems[i];
        item->setEnabled(true);
        connect(item, &QAction::triggered, &appearance,
                [&appearance, i] { appearance.setChoice(Appearance::Choice(i)); });
    }
    const auto showChoice = [this, &appearance] {
        m_appearanceItems[int(appearance.choice())]->setChecked(true);
    };
    showChoice();
    connect(&appearance, &Appearance::changed, this, showChoice);
}

void WindowMenus::buildHelpMenu()
{
    QMenu *help = m_window.menuBar()->addMenu(QStringLiteral("&Help"));
    QAction *shortcuts = help->addAction(QStringLiteral("&Keyboard Shortcuts"));
    connect(shortcuts, &QAction::triggered, this, [this] {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Keyboard Shortcuts"),
                        keyboardShortcuts, QMessageBox::Ok, &m_window);
        box.exec();
    });
    QAction *about = help->addAction(QStringLiteral("&About Kelvane"));
    connect(about, &QAction::triggered, this, [this] {
        QMessageBox::about(&m_window, QStringLiteral("About Kelvane"),
                           QStringLiteral("Kelvane %1\nA viewer for ANSI ASC X12 EDI files.")
                               .arg(QString::fromLatin1(kelvane::versionString)));
    });
}
