#include "app/ContentView.h"

#include "app/WindowSession.h"
#include "app/DocumentViews.h"
#include "app/Inspector.h"
#include "app/Platform.h"
#include "app/Style.h"
#include "core/Version.h"
#include "core/dictionary/X12Dictionary.h"
#include "core/model/X12Document.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QDataStream>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStackedWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <cstdint>
#include <iterator>

namespace {

void setColour(QWidget *widget, const QColor &colour)
{
    QPalette p = widget->palette();
    p.setColor(QPalette::WindowText, colour);
    widget->setPalette(p);
}

/// A strip above the content, filled with a faint tint of `colour`.
void tint(QWidget *widget, QColor colour)
{
    widget->setAutoFillBackground(true);
    QPalette p = widget->palette();
    colour.setAlpha(60);
    p.setColor(QPalette::Window, colour);
    widget->setPalette(p);
}

/// The first dropped item, when it is a local file.
std::optional<QString> droppedFile(const QMimeData *data)
{
    if (!data || !data->hasUrls() || data->urls().isEmpty())
        return std::nullopt;
    const QUrl url = data->urls().front();
    if (!url.isLocalFile())
        return std::nullopt;
    return url.toLocalFile();
}

// How long an open may take before the window shows that it is loading: a small file simply
// appears, without a flash of the loading state.
constexpr int loadingDelayMs = 150;

const QString keyboardShortcuts = QStringLiteral("Ctrl+O\tOpen a file\n"
                                                 "Ctrl+E\tExport as PDF\n"
                                                 "Ctrl+F\tSearch\n"
                                                 "Enter, F3\tNext match\n"
                                                 "Shift+F3\tPrevious match\n"
                                                 "Escape\tClear the search\n"
                                                 "Ctrl+G\tGo to a segment by number\n"
                                                 "Ctrl+C\tCopy the selected segment or values\n"
                                                 "Ctrl+1, 2, 3\tOutline, Segments, Raw\n"
                                                 "*\tExpand the selected node's subtree\n"
                                                 "Ctrl+Q\tQuit");

} // namespace

EmptyStateView::EmptyStateView(WindowSession &session, QWidget *parent)
    : QWidget(parent), m_icon(new QLabel(this)), m_title(new QLabel(this)),
      m_line(new QLabel(this)), m_button(new QPushButton(QStringLiteral("Choose File\u2026"), this))
{
    Style::useTextBackground(this);

    auto *stack = new QVBoxLayout(this);
    stack->setSpacing(Style::pt(14));
    stack->addStretch(1);
    for (QWidget *w : {static_cast<QWidget *>(m_icon), static_cast<QWidget *>(m_title),
                       static_cast<QWidget *>(m_line)})
        stack->addWidget(w, 0, Qt::AlignHCenter);
    stack->addWidget(m_button, 0, Qt::AlignHCenter);
    stack->addStretch(1);

    m_title->setFont(Style::title3());
    m_title->setTextFormat(Qt::PlainText);
    m_title->setAlignment(Qt::AlignCenter);
    m_title->setWordWrap(true);
    m_title->setFixedWidth(Style::pt(520));
    m_line->setFont(Style::callout());
    m_line->setWordWrap(true);
    m_line->setAlignment(Qt::AlignCenter);
    m_line->setFixedWidth(Style::pt(420));
    setColour(m_line, Style::secondary(palette()));
    m_button->setFont(Style::font(13));
    m_button->setMinimumHeight(Style::pt(24));
    connect(m_button, &QPushButton::clicked, &session, &WindowSession::showOpenPanel);
    setError(nullptr);
}

void EmptyStateView::setError(const QString *error)
{
    const QColor colour = error ? QColor(0xFF, 0x95, 0x00) : Style::accent(palette());
    const QIcon icon =
        Style::symbol(error ? Style::Symbol::warning : Style::Symbol::searchDocument, colour);
    m_icon->setPixmap(icon.pixmap(Style::pt(52), Style::pt(52)));
    m_title->setText(error ? *error : QStringLiteral("Open an X12 file"));
    m_line->setText(error ? QStringLiteral("Try another file.")
                          : QStringLiteral("837, 835, 834, 270/271, 276/277, 278, 820, 999 and any "
                                           "other X12 / EDI file. Drag one here."));
    // A centred layout gives a wrapped label one line's height unless told how tall it is.
    for (QLabel *label : {m_title, m_line})
        label->setMinimumHeight(label->heightForWidth(label->width()));
}

QString EmptyStateView::title() const
{
    return m_title->text();
}

QString EmptyStateView::line() const
{
    return m_line->text();
}

LoadingView::LoadingView(QWidget *parent)
    : QWidget(parent), m_title(new QLabel(this)), m_bar(new QProgressBar(this))
{
    Style::useTextBackground(this);
    auto *stack = new QVBoxLayout(this);
    stack->setSpacing(Style::pt(14));
    stack->addStretch(1);
    m_title->setFont(Style::title3());
    m_title->setTextFormat(Qt::PlainText);
    m_title->setAlignment(Qt::AlignCenter);
    stack->addWidget(m_title, 0, Qt::AlignHCenter);
    m_bar->setRange(0, 0); // busy: how far a parse is cannot be told
    m_bar->setTextVisible(false);
    m_bar->setFixedWidth(Style::pt(260));
    stack->addWidget(m_bar, 0, Qt::AlignHCenter);
    stack->addStretch(1);
}

void LoadingView::setFile(const QString &path)
{
    m_title->setText(QStringLiteral("Opening %1\u2026").arg(QFileInfo(path).fileName()));
}

QString LoadingView::title() const
{
    return m_title->text();
}

ActivityBar::ActivityBar(WindowSession &session, QWidget *parent)
    : QWidget(parent), m_session(session), m_text(new QLabel(this)),
      m_progress(new QProgressBar(this)), m_action(new QPushButton(this)),
      m_close(new QToolButton(this)), m_noticeTimer(new QTimer(this))
{
    tint(this, Style::accent(palette()));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(Style::pt(8), Style::pt(4), Style::pt(8), Style::pt(4));
    row->setSpacing(Style::pt(8));
    m_text->setTextFormat(Qt::PlainText);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_text->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    row->addWidget(m_text, 1);
    m_progress->setRange(0, 1000);
    m_progress->setFixedWidth(Style::pt(160));
    m_progress->setTextVisible(false);
    row->addWidget(m_progress);
    row->addWidget(m_action);
    m_close->setText(QStringLiteral("\u2715"));
    m_close->setAutoRaise(true);
    m_close->setToolTip(QStringLiteral("Close"));
    row->addWidget(m_close);

    connect(m_action, &QPushButton::clicked, this, [this] {
        if (m_session.currentExport())
            m_session.cancelExport();
        else if (m_session.lastExport())
            m_session.showLastExport();
    });
    connect(m_close, &QToolButton::clicked, this, [this] {
        m_notice.clear();
        m_session.dismissLastExport();
        refresh();
    });
    m_noticeTimer->setSingleShot(true);
    connect(m_noticeTimer, &QTimer::timeout, this, [this] {
        m_notice.clear();
        refresh();
    });
    connect(&session, &WindowSession::exportChanged, this, &ActivityBar::refresh);
    connect(&session, &WindowSession::documentChanged, this, [this] {
        m_notice.clear();
        refresh();
    });
    refresh();
}

void ActivityBar::showNotice(const QString &text)
{
    m_notice = text;
    m_noticeTimer->start(10'000);
    refresh();
}

QString ActivityBar::text() const
{
    return isHidden() ? QString() : m_text->text();
}

void ActivityBar::refresh()
{
    if (const auto &work = m_session.currentExport()) {
        m_text->setText(work->cancelling
                            ? QStringLiteral("Cancelling the export\u2026")
                            : QStringLiteral("Exporting %1 to %2\u2026")
                                  .arg(work->fileName, QFileInfo(work->destination).fileName()));
        // Below 0 the progress is unknown, and the bar shows that it is busy instead.
        m_progress->setRange(0, work->done < 0 ? 0 : 1000);
        m_progress->setValue(work->done < 0 ? 0 : int(work->done * 1000));
        m_progress->show();
        m_action->setText(QStringLiteral("Cancel"));
        m_action->setEnabled(!work->cancelling);
        m_action->show();
        m_close->hide();
        show();
    } else if (const auto &written = m_session.lastExport()) {
        m_text->setText(QStringLiteral("Exported \u201C%1\u201D").arg(*written));
        m_text->setToolTip(*written);
        m_progress->hide();
        m_action->setText(QStringLiteral("Show in Folder"));
        m_action->setEnabled(true);
        m_action->show();
        m_close->show();
        show();
    } else if (!m_notice.isEmpty()) {
        m_text->setText(m_notice);
        m_progress->hide();
        m_action->hide();
        m_close->show();
        show();
    } else {
        hide();
    }
}

ContentView::ContentView(WindowSession &session, QWidget *parent)
    : QMainWindow(parent), m_session(session), m_open(new QToolButton(this)),
      m_modes(new QButtonGroup(this)), m_search(new QLineEdit(this)), m_matches(new QLabel(this)),
      m_export(new QToolButton(this)), m_message(new QLabel(this)), m_notX12(new QLabel(this)),
      m_activity(new ActivityBar(session, this)), m_content(new QStackedWidget(this)),
      m_empty(new EmptyStateView(session, m_content)), m_loading(new LoadingView(m_content)),
      m_outline(new OutlineView(session, m_content)),
      m_flat(new FlatSegmentView(session, m_content)), m_raw(new RawTextView(session, m_content)),
      m_loadingDelay(new QTimer(this))
{
    // The minimum size in points, within the screen it opens on.
    QSize minimum(Style::pt(900), Style::pt(560));
    if (const QScreen *screen = QApplication::primaryScreen())
        minimum = minimum.boundedTo(screen->availableSize() * 9 / 10);
    setMinimumSize(minimum);
    setAcceptDrops(true);
    setWindowTitle(QStringLiteral("Kelvane"));

    auto *toolbar = new QToolBar(this);
    toolbar->setObjectName(QStringLiteral("toolbar"));
    toolbar->setMovable(false);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    addToolBar(toolbar);

    const QColor iconColour = palette().color(QPalette::ButtonText);
    m_open->setText(QStringLiteral("Open"));
    m_open->setIcon(Style::symbol(Style::Symbol::folder, iconColour));
    m_open->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_open->setToolTip(QStringLiteral("Open an X12 / EDI file"));
    connect(m_open, &QToolButton::clicked, &session, &WindowSession::showOpenPanel);
    toolbar->addWidget(m_open);

    auto leadingSpace = new QWidget(toolbar);
    leadingSpace->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbar->addWidget(leadingSpace);

    // The mode picker: three checkable buttons side by side, one per mode, 240 points in all.
    auto *picker = new QWidget(toolbar);
    auto *pickerLayout = new QHBoxLayout(picker);
    pickerLayout->setContentsMargins(0, 0, 0, 0);
    pickerLayout->setSpacing(0);
    picker->setFixedWidth(Style::pt(240));
    for (WindowSession::ViewMode mode : WindowSession::allViewModes) {
        auto *button = new QToolButton(picker);
        button->setText(WindowSession::title(mode));
        button->setCheckable(true);
        button->setAutoRaise(false);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        m_modes->addButton(button, int(mode));
        pickerLayout->addWidget(button);
    }
    m_modes->setExclusive(true);
    connect(m_modes, &QButtonGroup::idClicked, this,
            [this](int id) { m_session.setViewMode(WindowSession::ViewMode(id)); });
    toolbar->addWidget(picker);

    auto trailingSpace = new QWidget(toolbar);
    trailingSpace->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbar->addWidget(trailingSpace);

    m_matches->setFont(Style::footnote());
    setColour(m_matches, Style::secondary(palette()));
    m_matches->setContentsMargins(0, 0, Style::pt(6), 0);
    toolbar->addWidget(m_matches);
    m_search->setPlaceholderText(QStringLiteral("Search"));
    m_search->setFixedWidth(Style::pt(200));
    m_search->setClearButtonEnabled(true);
    connect(m_search, &QLineEdit::textEdited, this,
            [this](const QString &text) { m_session.setSearchText(text); });
    connect(m_search, &QLineEdit::returnPressed, this, [this] { findNext(); });
    toolbar->addWidget(m_search);
    m_search->installEventFilter(this);

    m_export->setText(QStringLiteral("Export PDF"));
    m_export->setIcon(Style::symbol(Style::Symbol::export_, iconColour));
    m_export->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_export->setToolTip(QStringLiteral("Export the formatted document as PDF"));
    connect(m_export, &QToolButton::clicked, &session, &WindowSession::exportPDF);
    toolbar->addWidget(m_export);

    m_content->addWidget(m_empty);
    m_content->addWidget(m_loading);
    m_content->addWidget(m_outline);
    m_content->addWidget(m_flat);
    m_content->addWidget(m_raw);

    m_message->setWordWrap(true);
    m_message->setMargin(Style::pt(6));
    m_message->setTextFormat(Qt::PlainText);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    tint(m_message, QColor(0xFF, 0x95, 0x00));
    m_notX12->setWordWrap(true);
    m_notX12->setMargin(Style::pt(6));
    m_notX12->setTextFormat(Qt::PlainText);
    tint(m_notX12, QColor(0xFF, 0x95, 0x00));
    m_notX12->setText(QStringLiteral(
        "\u26A0 This file does not look like X12: it has no ISA, GS or ST segment and almost "
        "none of its segments are known X12 segments. What follows is how it cuts into "
        "segments."));

    auto *central = new QWidget(this);
    auto *column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_activity);
    column->addWidget(m_message);
    column->addWidget(m_notX12);
    column->addWidget(m_content, 1);
    setCentralWidget(central);

    m_loadingDelay->setSingleShot(true);
    m_loadingDelay->setInterval(loadingDelayMs);
    connect(m_loadingDelay, &QTimer::timeout, this, &ContentView::refresh);
    connect(&session, &WindowSession::loadingChanged, this, [this] {
        if (m_session.loadingFile()) {
            m_loading->setFile(*m_session.loadingFile());
            m_loadingDelay->start();
        } else {
            m_loadingDelay->stop();
        }
        refresh();
    });
    connect(&session, &WindowSession::documentChanged, this, [this] {
        m_looksLikeX12 =
            !m_session.document() || X12Dictionary::looksLikeX12(*m_session.document());
        refresh();
    });
    connect(&session, &WindowSession::exportChanged, this, &ContentView::refreshActions);
    connect(&session, &WindowSession::errorMessageChanged, this, &ContentView::refresh);
    connect(&session, &WindowSession::filePathChanged, this, &ContentView::refreshTitle);
    connect(&session, &WindowSession::viewModeChanged, this, [this] {
        // Leaving a mode discards that view's own state.
        m_outline->reset();
        m_flat->reset();
        refresh();
    });
    connect(&session, &WindowSession::searchTextChanged, this, [this] {
        if (m_search->text() != m_session.searchText())
            m_search->setText(m_session.searchText());
        refreshMatches();
    });
    connect(&session, &WindowSession::matchesChanged, this, &ContentView::refreshMatches);
    connect(m_outline, &OutlineView::notice, m_activity, &ActivityBar::showNotice);
    refresh();
}

ContentView::ContentView(WindowSession &session, Platform &platform, QWidget *parent)
    : ContentView(session, parent)
{
    buildMenus(platform);
    refresh();
}

void ContentView::buildMenus(Platform &platform)
{
    QMenu *app = menuBar()->addMenu(QStringLiteral("&Kelvane"));
    QAction *makeDefault = app->addAction(QStringLiteral("&Make Default App for X12 Files\u2026"));
    connect(makeDefault, &QAction::triggered, this, &ContentView::makeDefaultRequested);
    app->addSeparator();
    QAction *quit = app->addAction(QStringLiteral("&Quit"));
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, qApp, &QApplication::quit);

    // No item opens a second window: the one window shows one document at a time.
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    m_openAction = file->addAction(QStringLiteral("&Open\u2026"));
    m_openAction->setShortcut(QKeySequence::Open);
    connect(m_openAction, &QAction::triggered, &m_session, &WindowSession::showOpenPanel);
    m_recent = file->addMenu(QStringLiteral("Open &Recent"));
    connect(m_recent, &QMenu::aboutToShow, this, [this, &platform] {
        m_recent->clear();
        const QStringList recent = platform.recentDocuments();
        for (const QString &path : recent) {
            QAction *item = m_recent->addAction(QFileInfo(path).fileName());
            item->setToolTip(path);
            connect(item, &QAction::triggered, this, [this, path] { m_session.open(path); });
        }
        if (!recent.isEmpty())
            m_recent->addSeparator();
        QAction *clear = m_recent->addAction(QStringLiteral("&Clear Menu"));
        clear->setEnabled(!recent.isEmpty());
        connect(clear, &QAction::triggered, this, [&platform] { platform.clearRecentDocuments(); });
    });
    file->addSeparator();
    m_exportAction = file->addAction(QStringLiteral("&Export as PDF\u2026"));
    m_exportAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    connect(m_exportAction, &QAction::triggered, &m_session, &WindowSession::exportPDF);
    m_exportCSVAction = file->addAction(QStringLiteral("Export as &CSV\u2026"));
    connect(m_exportCSVAction, &QAction::triggered, &m_session, &WindowSession::exportCSV);

    QMenu *edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    QAction *copy = edit->addAction(QStringLiteral("&Copy"));
    copy->setShortcut(QKeySequence::Copy);
    connect(copy, &QAction::triggered, this, &ContentView::copy);
    edit->addSeparator();
    QAction *find = edit->addAction(QStringLiteral("&Find"));
    find->setShortcut(QKeySequence::Find);
    connect(find, &QAction::triggered, this, [this] {
        m_search->setFocus(Qt::ShortcutFocusReason);
        m_search->selectAll();
    });
    QAction *next = edit->addAction(QStringLiteral("Find &Next"));
    next->setShortcut(QKeySequence::FindNext);
    connect(next, &QAction::triggered, this, [this] { findNext(); });
    QAction *previous = edit->addAction(QStringLiteral("Find &Previous"));
    previous->setShortcut(QKeySequence::FindPrevious);
    connect(previous, &QAction::triggered, this, [this] { findNext(true); });
    edit->addSeparator();
    QAction *goTo = edit->addAction(QStringLiteral("&Go to Segment\u2026"));
    goTo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    connect(goTo, &QAction::triggered, this, &ContentView::askForSegment);

    QMenu *view = menuBar()->addMenu(QStringLiteral("&View"));
    const QString modeNames[] = {QStringLiteral("&Outline"), QStringLiteral("&Segments"),
                                 QStringLiteral("&Raw")};
    for (WindowSession::ViewMode mode : WindowSession::allViewModes) {
        QAction *item = view->addAction(modeNames[int(mode)]);
        item->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + int(mode))));
        connect(item, &QAction::triggered, this, [this, mode] {
            if (m_session.document())
                m_session.setViewMode(mode);
        });
    }
    view->addSeparator();
    QAction *expand = view->addAction(QStringLiteral("&Expand All"));
    connect(expand, &QAction::triggered, this, [this] {
        if (!m_session.document())
            return;
        m_session.setViewMode(WindowSession::ViewMode::outline);
        m_outline->tree()->expandWithin(QModelIndex());
    });
    QAction *collapse = view->addAction(QStringLiteral("&Collapse All"));
    connect(collapse, &QAction::triggered, this, [this] { m_outline->tree()->collapseAll(); });

    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    QAction *shortcuts = help->addAction(QStringLiteral("&Keyboard Shortcuts"));
    connect(shortcuts, &QAction::triggered, this, [this] {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Keyboard Shortcuts"),
                        keyboardShortcuts, QMessageBox::Ok, this);
        box.exec();
    });
    QAction *about = help->addAction(QStringLiteral("&About Kelvane"));
    connect(about, &QAction::triggered, this, [this] {
        QMessageBox::about(this, QStringLiteral("About Kelvane"),
                           QStringLiteral("Kelvane %1\nA viewer for ANSI ASC X12 EDI files.")
                               .arg(QString::fromLatin1(kelvane::versionString)));
    });
}

bool ContentView::eventFilter(QObject *watched, QEvent *event)
{
    // Escape in the search field clears the search, as in every desktop search field.
    if (watched == m_search && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape && !m_search->text().isEmpty()) {
        m_search->clear();
        m_session.setSearchText({});
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

QWidget *ContentView::currentContent() const
{
    return m_content->currentWidget();
}

void ContentView::refreshActions()
{
    const bool loaded = m_session.document() != nullptr;
    for (QAbstractButton *button : m_modes->buttons())
        button->setEnabled(loaded);
    m_search->setEnabled(loaded);
    // One export at a time.
    m_export->setEnabled(loaded && !m_session.currentExport());
    if (m_exportAction)
        m_exportAction->setEnabled(loaded && !m_session.currentExport());
    if (m_exportCSVAction)
        m_exportCSVAction->setEnabled(loaded && !m_session.currentExport());
    m_modes->button(int(m_session.viewMode()))->setChecked(true);
}

void ContentView::refresh()
{
    const bool loaded = m_session.document() != nullptr;
    refreshActions();
    refreshTitle();
    refreshMatches();

    // A load that has taken a moment shows as such, in place of whatever was there.
    if (m_session.loadingFile() && (!m_loadingDelay->isActive() || !loaded)) {
        m_content->setCurrentWidget(m_loading);
        m_message->hide();
        m_notX12->hide();
        return;
    }
    if (!loaded) {
        const auto &error = m_session.errorMessage();
        m_empty->setError(error ? &*error : nullptr);
        m_content->setCurrentWidget(m_empty);
        m_message->hide();
        m_notX12->hide();
        return;
    }
    // A failed export leaves the document on screen; its message shows above it.
    m_message->setVisible(m_session.errorMessage().has_value());
    m_message->setText(m_session.errorMessage().value_or(QString()));
    m_notX12->setVisible(!m_looksLikeX12);
    switch (m_session.viewMode()) {
    case WindowSession::ViewMode::outline:
        m_content->setCurrentWidget(m_outline);
        break;
    case WindowSession::ViewMode::flat:
        m_content->setCurrentWidget(m_flat);
        m_flat->refreshIfStale();
        break;
    case WindowSession::ViewMode::raw:
        m_content->setCurrentWidget(m_raw);
        m_raw->refreshIfStale();
        break;
    }
}

void ContentView::refreshTitle()
{
    // As desktop applications do, so task bars and window switchers tell windows apart.
    const auto &file = m_session.filePath();
    setWindowTitle(file && m_session.document()
                       ? QFileInfo(*file).fileName() + QStringLiteral(" \u2014 Kelvane")
                       : QStringLiteral("Kelvane"));
}

void ContentView::refreshMatches()
{
    if (!m_session.document() || m_session.searchText().trimmed().isEmpty()) {
        m_matches->clear();
        return;
    }
    const std::size_t count = m_session.filteredSegments()->size();
    if (m_session.isSearching()) {
        // The count of the search before stays until this one's arrives; a document just
        // opened has none to show.
        if (count == 0)
            m_matches->clear();
        return;
    }
    m_matches->setText(count == 0   ? QStringLiteral("No matches")
                       : count == 1 ? QStringLiteral("1 match")
                                    : QStringLiteral("%L1 matches").arg(count));
}

void ContentView::findNext(bool backwards)
{
    if (!m_session.document())
        return;
    switch (m_session.viewMode()) {
    case WindowSession::ViewMode::outline:
        m_outline->findNext(backwards);
        break;
    case WindowSession::ViewMode::flat:
        m_flat->moveSelection(backwards ? -1 : 1);
        break;
    case WindowSession::ViewMode::raw:
        m_raw->moveCurrent(backwards ? -1 : 1);
        break;
    }
}

void ContentView::goToSegment(std::uint32_t segment)
{
    const auto document = m_session.document();
    if (!document || segment >= document->segments().size())
        return;
    switch (m_session.viewMode()) {
    case WindowSession::ViewMode::outline:
        m_outline->reveal(segment);
        break;
    case WindowSession::ViewMode::flat:
    case WindowSession::ViewMode::raw:
        // A segment the search hides is listed again once the search is cleared.
        const auto choose = [this, segment] {
            return m_session.viewMode() == WindowSession::ViewMode::flat ? m_flat->choose(segment)
                                                                         : m_raw->choose(segment);
        };
        if (!choose()) {
            m_session.setSearchText({});
            choose();
        }
        break;
    }
}

void ContentView::askForSegment()
{
    const auto document = m_session.document();
    if (!document)
        return;
    const int count = int(std::min<std::size_t>(document->segments().size(), INT32_MAX));
    bool ok = false;
    const int number = QInputDialog::getInt(
        this, QStringLiteral("Go to Segment"),
        QStringLiteral("Segment number (1\u2013%L1):").arg(count), 1, 1, count, 1, &ok);
    if (ok)
        goToSegment(std::uint32_t(number - 1));
}

void ContentView::copy()
{
    QWidget *focus = QApplication::focusWidget();
    for (QWidget *w = focus; w; w = w->parentWidget()) {
        if (auto *table = qobject_cast<ElementTableView *>(w)) {
            if (table->selectionModel()->hasSelection()) {
                QApplication::clipboard()->setText(table->selectedText());
                return;
            }
            break;
        }
    }
    // Otherwise the selected segment of the view on screen.
    const auto document = m_session.document();
    if (!document)
        return;
    std::vector<std::uint32_t> segments;
    switch (m_session.viewMode()) {
    case WindowSession::ViewMode::outline:
        if (const auto segment = m_outline->selectedSegment())
            segments.push_back(*segment);
        break;
    case WindowSession::ViewMode::flat:
        if (const auto segment = m_flat->selected())
            segments.push_back(*segment);
        break;
    case WindowSession::ViewMode::raw:
        segments = m_raw->selectedSegments();
        break;
    }
    if (!segments.empty())
        copySegments(*document, segments);
}

QByteArray ContentView::saveLayout() const
{
    QByteArray layout;
    QDataStream out(&layout, QIODevice::WriteOnly);
    out << quint32(1) << saveGeometry() << saveState() << m_outline->saveState()
        << m_flat->saveState() << qint32(m_session.viewMode());
    return layout;
}

void ContentView::restoreLayout(const QByteArray &layout)
{
    QDataStream in(layout);
    quint32 version = 0;
    QByteArray geometry, state, outline, flat;
    qint32 mode = 0;
    in >> version >> geometry >> state >> outline >> flat >> mode;
    if (in.status() != QDataStream::Ok || version != 1)
        return; // nothing saved yet, or by another version: keep the defaults
    restoreGeometry(geometry);
    restoreState(state);
    m_outline->restoreState(outline);
    m_flat->restoreState(flat);
    if (mode >= 0 && mode < int(std::size(WindowSession::allViewModes)))
        m_session.setViewMode(WindowSession::ViewMode(mode));
}

void ContentView::dragEnterEvent(QDragEnterEvent *event)
{
    if (droppedFile(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void ContentView::dropEvent(QDropEvent *event)
{
    const auto file = droppedFile(event->mimeData());
    if (!file) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // Opened from the event loop, after the drop has finished, only the first file.
    QTimer::singleShot(0, this, [this, path = *file] { m_session.open(path); });
}
