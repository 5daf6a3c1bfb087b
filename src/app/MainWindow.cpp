#include "app/MainWindow.h"

#include "app/ActivityBar.h"
#include "app/AlertPresenter.h"
#include "app/ElementTableView.h"
#include "app/FindingsPanel.h"
#include "app/GoToSegmentDialog.h"
#include "app/EmptyStateView.h"
#include "app/LoadingView.h"
#include "app/ModeView.h"
#include "app/OutlineTree.h"
#include "app/OutlineView.h"
#include "app/Platform.h"
#include "app/RawView.h"
#include "app/SegmentsView.h"
#include "app/SelectableText.h"
#include "app/Style.h"
#include "app/WindowMenus.h"
#include "app/WindowSession.h"
#include "core/dictionary/X12Dictionary.h"
#include "core/model/X12Document.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QCloseEvent>
#include <QDataStream>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QScreen>
#include <QStackedWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <cstdint>
#include <iterator>
#include <optional>

namespace {

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

} // namespace

MainWindow::MainWindow(WindowSession &session, QWidget *parent)
    : QMainWindow(parent), m_session(session), m_open(new QToolButton(this)),
      m_modes(new QButtonGroup(this)), m_search(new QLineEdit(this)), m_matches(new QLabel(this)),
      m_export(new QToolButton(this)), m_message(new QLabel(this)), m_notX12(new QLabel(this)),
      m_activity(new ActivityBar(session, this)), m_content(new QStackedWidget(this)),
      m_empty(new EmptyStateView(session, m_content)), m_loading(new LoadingView(m_content)),
      m_outline(new OutlineView(session, m_content)),
      m_segments(new SegmentsView(session, m_content)),
      m_raw(new RawView(session, m_content)), m_modeViews{m_outline, m_segments, m_raw},
      m_findings(new FindingsPanel(this)), m_findingsDock(new QDockWidget(this)),
      m_findingsAction(new QAction(QStringLiteral("&Findings"), this)),
      m_loadingDelay(new QTimer(this))
{
    setMinimumSize(Style::minimumWindowSize());
    setAcceptDrops(true);
    setWindowTitle(QStringLiteral("Kelvane"));

    buildToolbar();
    m_content->addWidget(m_empty);
    m_content->addWidget(m_loading);
    for (ModeView *view : m_modeViews)
        m_content->addWidget(view->asWidget());
    buildBanners();

    auto *central = new QWidget(this);
    auto *column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_activity);
    column->addWidget(m_message);
    column->addWidget(m_notX12);
    column->addWidget(m_content, 1);
    setCentralWidget(central);
    buildFindingsPanel();

    followSession();
    refresh();
    // It first opens at a roomy size within the screen; a saved layout then brings back the
    // user's size.
    QSize size(Style::pt(1200), Style::pt(760));
    if (const QScreen *screen = QApplication::primaryScreen())
        size = size.boundedTo(screen->availableSize() * 9 / 10);
    resize(size.expandedTo(minimumSize()));
}

MainWindow::MainWindow(WindowSession &session, Platform &platform, AlertPresenter &alerts,
                       QWidget *parent)
    : MainWindow(session, parent)
{
    m_alerts = &alerts;
    m_menus = new WindowMenus(*this, session, platform);
    refresh();
}

QAction *MainWindow::openAction() const
{
    return m_menus ? m_menus->openAction() : nullptr;
}

QAction *MainWindow::exportAction() const
{
    return m_menus ? m_menus->exportAction() : nullptr;
}

QAction *MainWindow::exportCSVAction() const
{
    return m_menus ? m_menus->exportCSVAction() : nullptr;
}

QMenu *MainWindow::recentMenu() const
{
    return m_menus ? m_menus->recentMenu() : nullptr;
}

void MainWindow::buildToolbar()
{
    auto *toolbar = new QToolBar(this);
    toolbar->setObjectName(QStringLiteral("toolbar"));
    toolbar->setMovable(false);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    addToolBar(toolbar);

    m_open->setText(QStringLiteral("Open"));
    // Each recolouring touches its own widget only: a palette change also reaches the toolbar's
    // widgets while the window is being taken down.
    Style::followPalette(m_open, [open = m_open] {
        open->setIcon(
            Style::symbol(Style::Symbol::folder, open->palette().color(QPalette::ButtonText)));
    });
    m_open->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_open->setToolTip(QStringLiteral("Open an X12 / EDI file"));
    connect(m_open, &QToolButton::clicked, &m_session, &WindowSession::showOpenPanel);
    toolbar->addWidget(m_open);

    auto leadingSpace = new QWidget(toolbar);
    leadingSpace->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbar->addWidget(leadingSpace);

    buildModePicker(toolbar);

    auto trailingSpace = new QWidget(toolbar);
    trailingSpace->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbar->addWidget(trailingSpace);

    m_matches->setFont(Style::footnote());
    Style::setTextColour(m_matches, Style::secondary);
    m_matches->setContentsMargins(0, 0, Style::pt(6), 0);
    // As wide as the longest count, with or without one: the mode picker in the middle of the
    // toolbar never moves as the count comes, goes or grows.
    m_matches->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_matches->setFixedWidth(QFontMetrics(m_matches->font())
                                 .horizontalAdvance(QStringLiteral("%L1 matches").arg(99'999'999)) +
                             Style::pt(6));
    toolbar->addWidget(m_matches);
    m_search->setPlaceholderText(QStringLiteral("Search"));
    m_search->setClearButtonEnabled(true);
    connect(m_search, &QLineEdit::textEdited, this,
            [this](const QString &text) { m_session.setSearchText(text); });
    connect(m_search, &QLineEdit::returnPressed, this, [this] { findNext(); });
    // 200 points where there is room, down to 120 on a small screen rather than pushing Export
    // off the toolbar. The field sits in a box of its own whose size ignores the field's: the
    // clear button that comes with the first letter never moves the toolbar.
    auto *searchBox = new QWidget(toolbar);
    searchBox->setMinimumWidth(Style::pt(120));
    searchBox->setMaximumWidth(Style::pt(200));
    searchBox->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    auto *searchLayout = new QHBoxLayout(searchBox);
    searchLayout->setContentsMargins(0, 0, 0, 0);
    m_search->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    searchLayout->addWidget(m_search);
    toolbar->addWidget(searchBox);
    m_search->installEventFilter(this);

    m_export->setText(QStringLiteral("Export PDF"));
    Style::followPalette(m_export, [exportButton = m_export] {
        exportButton->setIcon(Style::symbol(Style::Symbol::export_,
                                            exportButton->palette().color(QPalette::ButtonText)));
    });
    m_export->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_export->setToolTip(QStringLiteral("Export the formatted document as PDF"));
    connect(m_export, &QToolButton::clicked, &m_session, &WindowSession::exportPDF);
    toolbar->addWidget(m_export);
}

void MainWindow::buildModePicker(QToolBar *toolbar)
{
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
        // The active mode is filled with a tint of the accent, which shows in light and dark
        // alike (a sunken button alone is barely darker than the others in dark).
        const auto mark = [button] {
            QPalette own; // nothing set: the button follows the window
            if (button->isChecked() && button->parentWidget()) {
                const QPalette &p = button->parentWidget()->palette();
                own.setColor(QPalette::Button, Style::blend(p.color(QPalette::Button),
                                                            p.color(QPalette::Highlight), 0.45));
            }
            button->setPalette(own);
        };
        Style::followPalette(button, mark);
        connect(button, &QToolButton::toggled, button, mark);
        m_modes->addButton(button, int(mode));
        pickerLayout->addWidget(button);
    }
    m_modes->setExclusive(true);
    connect(m_modes, &QButtonGroup::idClicked, this,
            [this](int id) { m_session.setViewMode(WindowSession::ViewMode(id)); });
    toolbar->addWidget(picker);
}

void MainWindow::buildBanners()
{
    m_message->setWordWrap(true);
    m_message->setMargin(Style::pt(6));
    m_message->setTextFormat(Qt::PlainText);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Style::tint(m_message, [] { return Style::warning(); });
    m_notX12->setWordWrap(true);
    m_notX12->setMargin(Style::pt(6));
    m_notX12->setTextFormat(Qt::PlainText);
    Style::tint(m_notX12, [] { return Style::warning(); });
    m_notX12->setText(QStringLiteral(
        "\u26A0 This file does not look like X12: it has no ISA, GS or ST segment and almost "
        "none of its segments are known X12 segments. What follows is how it cuts into "
        "segments."));
}

void MainWindow::buildFindingsPanel()
{
    // A panel docked under the views, in every mode; it has no title bar of its own (the panel
    // heads itself) and is shown and hidden from the View menu.
    m_findingsDock->setObjectName(QStringLiteral("findings"));
    m_findingsDock->setWindowTitle(QStringLiteral("Findings"));
    m_findingsDock->setFeatures(QDockWidget::NoDockWidgetFeatures);
    m_findingsDock->setTitleBarWidget(new QWidget(m_findingsDock));
    m_findingsDock->setWidget(m_findings);
    addDockWidget(Qt::BottomDockWidgetArea, m_findingsDock);
    resizeDocks({m_findingsDock}, {Style::pt(150)}, Qt::Vertical);
    m_findingsAction->setCheckable(true);
    m_findingsAction->setChecked(true);
    m_findingsAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    addAction(m_findingsAction);
    connect(m_findingsAction, &QAction::toggled, this, &MainWindow::refresh);
    connect(m_findings, &FindingsPanel::segmentChosen, this, &MainWindow::goToSegment);
}

void MainWindow::followSession()
{
    m_loadingDelay->setSingleShot(true);
    m_loadingDelay->setInterval(loadingDelayMs);
    connect(m_loadingDelay, &QTimer::timeout, this, &MainWindow::refresh);
    connect(&m_session, &WindowSession::loadingChanged, this, [this] {
        if (m_session.loadingFile()) {
            m_loading->setFile(*m_session.loadingFile());
            m_loadingDelay->start();
        } else {
            m_loadingDelay->stop();
        }
        refresh();
    });
    connect(&m_session, &WindowSession::documentChanged, this, [this] {
        m_looksLikeX12 =
            !m_session.document() || X12Dictionary::looksLikeX12(*m_session.document());
        m_findings->setFindings(m_session.findings());
        refresh();
    });
    connect(&m_session, &WindowSession::findingsChanged, this,
            [this] { m_findings->setFindings(m_session.findings()); });
    connect(&m_session, &WindowSession::exportChanged, this, &MainWindow::refreshActions);
    connect(&m_session, &WindowSession::errorMessageChanged, this, &MainWindow::refresh);
    connect(&m_session, &WindowSession::filePathChanged, this, &MainWindow::refreshTitle);
    connect(&m_session, &WindowSession::viewModeChanged, this, [this] {
        // Leaving a mode discards that view's own state.
        for (ModeView *view : m_modeViews)
            view->reset();
        refresh();
    });
    connect(&m_session, &WindowSession::searchTextChanged, this, [this] {
        if (m_search->text() != m_session.searchText())
            m_search->setText(m_session.searchText());
        refreshMatches();
    });
    connect(&m_session, &WindowSession::matchesChanged, this, &MainWindow::refreshMatches);
    connect(m_outline, &OutlineView::notice, m_activity, &ActivityBar::showNotice);
    connect(m_segments, &SegmentsView::notice, m_activity, &ActivityBar::showNotice);
    connect(m_raw, &RawView::notice, m_activity, &ActivityBar::showNotice);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    const auto &work = m_session.currentExport();
    if (m_alerts && work && !work->cancelling) {
        const int answer = m_alerts->show(
            AlertPresenter::Style::warning,
            QStringLiteral("Stop exporting %1?").arg(work->fileName),
            QStringLiteral("The report \u201C%1\u201D is not finished. Quitting now stops the "
                           "export, and nothing is written.")
                .arg(QFileInfo(work->destination).fileName()),
            {QStringLiteral("Stop Export and Quit"), QStringLiteral("Keep Exporting")});
        if (answer != 0) {
            event->ignore();
            return;
        }
        m_session.cancelExport();
    }
    QMainWindow::closeEvent(event);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    // The field would take Ctrl+E as the end of its line, as fields on X11 do: here it is the
    // window's Export, whatever has the focus.
    if (watched == m_search && event->type() == QEvent::ShortcutOverride && exportAction() &&
        QKeySequence(static_cast<QKeyEvent *>(event)->keyCombination()) ==
            exportAction()->shortcut()) {
        event->ignore();
        return true;
    }
    // Escape in the search field clears the search, as in every desktop search field.
    if (watched == m_search && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape && !m_search->text().isEmpty()) {
        m_search->clear();
        m_session.setSearchText({});
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

QWidget *MainWindow::currentContent() const
{
    return m_content->currentWidget();
}

bool MainWindow::showsLoading() const
{
    // A load that has taken a moment shows as such, in place of whatever was there.
    return m_session.loadingFile() && (!m_loadingDelay->isActive() || !m_session.document());
}

void MainWindow::refreshActions()
{
    // What acts on the document acts on the one on screen: never on one the loading hides.
    const bool shown = m_session.document() && !showsLoading();
    const bool exporting = m_session.currentExport().has_value();
    for (QAbstractButton *button : m_modes->buttons())
        button->setEnabled(shown);
    m_search->setEnabled(shown);
    // One export at a time.
    m_export->setEnabled(shown && !exporting);
    if (m_menus)
        m_menus->enableDocumentItems(shown, exporting);
    m_modes->button(int(m_session.viewMode()))->setChecked(true);
}

void MainWindow::refresh()
{
    const bool loaded = m_session.document() != nullptr;
    refreshActions();
    refreshTitle();
    refreshMatches();
    const bool showLoading = showsLoading();
    // The findings are listed beside a document, not under the start or loading screens.
    m_findingsDock->setVisible(loaded && !showLoading && m_findingsAction->isChecked());

    if (showLoading) {
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
    ModeView *view = modeView();
    m_content->setCurrentWidget(view->asWidget());
    view->refreshIfStale();
}

void MainWindow::refreshTitle()
{
    // As desktop applications do, so task bars and window switchers tell windows apart.
    const auto &file = m_session.filePath();
    if (showsLoading())
        setWindowTitle(QStringLiteral("Opening %1\u2026 \u2014 Kelvane")
                           .arg(QFileInfo(*m_session.loadingFile()).fileName()));
    else if (file && m_session.document())
        setWindowTitle(QFileInfo(*file).fileName() + QStringLiteral(" \u2014 Kelvane"));
    else
        setWindowTitle(QStringLiteral("Kelvane"));
}

void MainWindow::refreshMatches()
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

void MainWindow::findNext(bool backwards)
{
    if (m_session.document())
        modeView()->findNext(backwards);
}

void MainWindow::goToSegment(std::uint32_t segment)
{
    const auto document = m_session.document();
    if (!document || segment >= document->segments().size())
        return;
    // A segment the search hides is listed again once the search is cleared.
    if (!modeView()->selectSegment(segment)) {
        m_session.setSearchText({});
        modeView()->selectSegment(segment);
    }
}

void MainWindow::askForSegment()
{
    const auto document = m_session.document();
    if (!document)
        return;
    const int count = int(std::min<std::size_t>(document->segments().size(), INT32_MAX));
    GoToSegmentDialog dialog(count, this);
    if (dialog.exec() == QDialog::Accepted)
        goToSegment(std::uint32_t(dialog.number() - 1));
}

void MainWindow::copy()
{
    QWidget *focus = QApplication::focusWidget();
    // Text selected in the inspector or the summary.
    if (auto *text = qobject_cast<SelectableText *>(focus);
        text && text->textCursor().hasSelection()) {
        text->copy();
        return;
    }
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
    if (const auto segments = modeView()->selectedSegments(); !segments.empty())
        if (const auto refusal = ModeView::copySegments(*document, segments))
            m_activity->showNotice(*refusal);
}

ModeView *MainWindow::modeView() const
{
    return m_modeViews[std::size_t(m_session.viewMode())];
}

QByteArray MainWindow::saveLayout() const
{
    QByteArray layout;
    QDataStream out(&layout, QIODevice::WriteOnly);
    out << quint32(1) << saveGeometry() << saveState() << m_outline->saveState()
        << m_segments->saveState() << qint32(m_session.viewMode()) << m_findingsAction->isChecked();
    return layout;
}

void MainWindow::restoreLayout(const QByteArray &layout)
{
    QDataStream in(layout);
    quint32 version = 0;
    QByteArray geometry, state, outline, segments;
    qint32 mode = 0;
    in >> version >> geometry >> state >> outline >> segments >> mode;
    if (in.status() != QDataStream::Ok || version != 1)
        return; // nothing saved yet, or by another version: keep the defaults
    restoreGeometry(geometry);
    restoreState(state);
    m_outline->restoreState(outline);
    m_segments->restoreState(segments);
    if (mode >= 0 && mode < int(std::size(WindowSession::allViewModes)))
        m_session.setViewMode(WindowSession::ViewMode(mode));
    // Saved after the rest by later versions: a layout without it keeps the findings shown.
    bool findings = true;
    in >> findings;
    m_findingsAction->setChecked(in.status() != QDataStream::Ok || findings);
    refresh();
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (droppedFile(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void MainWindow::dropEvent(QDropEvent *event)
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
