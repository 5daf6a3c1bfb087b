#include "app/ContentView.h"

#include "app/AppModel.h"
#include "app/DocumentViews.h"
#include "app/Platform.h"
#include "app/Style.h"
#include "core/Version.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QButtonGroup>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

void setColour(QLabel *label, const QColor &colour)
{
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, colour);
    label->setPalette(p);
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

} // namespace

EmptyStateView::EmptyStateView(AppModel &model, QWidget *parent)
    : QWidget(parent), m_icon(new QLabel(this)), m_title(new QLabel(this)),
      m_line(new QLabel(this)), m_button(new QPushButton(QStringLiteral("Choose File\u2026"), this))
{
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, p.color(QPalette::Base));
    setPalette(p);

    auto *stack = new QVBoxLayout(this);
    stack->setSpacing(14);
    stack->addStretch(1);
    for (QWidget *w : {static_cast<QWidget *>(m_icon), static_cast<QWidget *>(m_title),
                       static_cast<QWidget *>(m_line)})
        stack->addWidget(w, 0, Qt::AlignHCenter);
    stack->addWidget(m_button, 0, Qt::AlignHCenter);
    stack->addStretch(1);

    m_title->setFont(Style::title3());
    m_title->setTextFormat(Qt::PlainText);
    m_title->setAlignment(Qt::AlignCenter);
    m_line->setFont(Style::callout());
    m_line->setWordWrap(true);
    m_line->setAlignment(Qt::AlignCenter);
    m_line->setFixedWidth(Style::pt(420));
    setColour(m_line, Style::secondary(palette()));
    m_button->setFont(Style::font(13));
    m_button->setMinimumHeight(32);
    connect(m_button, &QPushButton::clicked, &model, &AppModel::showOpenPanel);
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
    m_line->setMinimumHeight(m_line->heightForWidth(m_line->width()));
}

QString EmptyStateView::title() const
{
    return m_title->text();
}

QString EmptyStateView::line() const
{
    return m_line->text();
}

ContentView::ContentView(AppModel &model, QWidget *parent)
    : QMainWindow(parent), m_model(model), m_open(new QToolButton(this)),
      m_modes(new QButtonGroup(this)), m_search(new QLineEdit(this)),
      m_export(new QToolButton(this)), m_message(new QLabel(this)),
      m_content(new QStackedWidget(this)), m_empty(new EmptyStateView(model, m_content)),
      m_outline(new OutlineView(model, m_content)), m_flat(new FlatSegmentView(model, m_content)),
      m_raw(new RawTextView(model, m_content))
{
    setMinimumSize(900, 560);
    setAcceptDrops(true);

    auto *toolbar = new QToolBar(this);
    toolbar->setMovable(false);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    addToolBar(toolbar);

    const QColor iconColour = palette().color(QPalette::ButtonText);
    m_open->setText(QStringLiteral("Open"));
    m_open->setIcon(Style::symbol(Style::Symbol::folder, iconColour));
    m_open->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_open->setToolTip(QStringLiteral("Open an X12 / EDI file"));
    connect(m_open, &QToolButton::clicked, &model, &AppModel::showOpenPanel);
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
    for (AppModel::ViewMode mode : AppModel::allViewModes) {
        auto *button = new QToolButton(picker);
        button->setText(AppModel::title(mode));
        button->setCheckable(true);
        button->setAutoRaise(false);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        m_modes->addButton(button, int(mode));
        pickerLayout->addWidget(button);
    }
    m_modes->setExclusive(true);
    connect(m_modes, &QButtonGroup::idClicked, this,
            [this](int id) { m_model.setViewMode(AppModel::ViewMode(id)); });
    toolbar->addWidget(picker);

    auto trailingSpace = new QWidget(toolbar);
    trailingSpace->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbar->addWidget(trailingSpace);

    m_search->setPlaceholderText(QStringLiteral("Search"));
    m_search->setFixedWidth(Style::pt(200));
    m_search->setClearButtonEnabled(true);
    connect(m_search, &QLineEdit::textEdited, this,
            [this](const QString &text) { m_model.setSearchText(text); });
    toolbar->addWidget(m_search);
    auto *find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        m_search->setFocus(Qt::ShortcutFocusReason);
        m_search->selectAll();
    });

    m_export->setText(QStringLiteral("Export PDF"));
    m_export->setIcon(Style::symbol(Style::Symbol::export_, iconColour));
    m_export->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_export->setToolTip(QStringLiteral("Export the formatted document as PDF"));
    connect(m_export, &QToolButton::clicked, &model, &AppModel::exportPDF);
    toolbar->addWidget(m_export);

    m_content->addWidget(m_empty);
    m_content->addWidget(m_outline);
    m_content->addWidget(m_flat);
    m_content->addWidget(m_raw);

    m_message->setWordWrap(true);
    m_message->setMargin(8);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_message->setAutoFillBackground(true);
    QPalette warning = m_message->palette();
    warning.setColor(QPalette::Window, QColor(0xFF, 0x95, 0x00, 60));
    m_message->setPalette(warning);

    auto *central = new QWidget(this);
    auto *column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_message);
    column->addWidget(m_content, 1);
    setCentralWidget(central);

    connect(&model, &AppModel::documentChanged, this, &ContentView::refresh);
    connect(&model, &AppModel::errorMessageChanged, this, &ContentView::refresh);
    connect(&model, &AppModel::viewModeChanged, this, [this] {
        // Leaving a mode discards that view's own state.
        m_outline->reset();
        m_flat->reset();
        refresh();
    });
    connect(&model, &AppModel::searchTextChanged, this, [this] {
        if (m_search->text() != m_model.searchText())
            m_search->setText(m_model.searchText());
    });
    refresh();
}

ContentView::ContentView(AppModel &model, Platform &platform, QWidget *parent)
    : ContentView(model, parent)
{
    buildMenus(platform);
    refresh();
}

void ContentView::buildMenus(Platform &platform)
{
    QMenu *app = menuBar()->addMenu(QStringLiteral("Kelvane"));
    QAction *about = app->addAction(QStringLiteral("About Kelvane"));
    connect(about, &QAction::triggered, this, [this] {
        QMessageBox::about(this, QStringLiteral("About Kelvane"),
                           QStringLiteral("Kelvane %1\nA viewer for ANSI ASC X12 EDI files.")
                               .arg(QString::fromLatin1(kelvane::versionString)));
    });
    app->addSeparator();
    QAction *makeDefault = app->addAction(QStringLiteral("Make Default App for X12 Files\u2026"));
    connect(makeDefault, &QAction::triggered, this, &ContentView::makeDefaultRequested);
    app->addSeparator();
    QAction *quit = app->addAction(QStringLiteral("Quit"));
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, qApp, &QApplication::quit);

    // No item opens a second window: the one window shows one document at a time.
    QMenu *file = menuBar()->addMenu(QStringLiteral("File"));
    m_openAction = file->addAction(QStringLiteral("Open\u2026"));
    m_openAction->setShortcut(QKeySequence::Open);
    connect(m_openAction, &QAction::triggered, &m_model, &AppModel::showOpenPanel);
    m_recent = file->addMenu(QStringLiteral("Open Recent"));
    connect(m_recent, &QMenu::aboutToShow, this, [this, &platform] {
        m_recent->clear();
        const QStringList recent = platform.recentDocuments();
        for (const QString &path : recent) {
            QAction *item = m_recent->addAction(QFileInfo(path).fileName());
            item->setToolTip(path);
            connect(item, &QAction::triggered, this, [this, path] { m_model.open(path); });
        }
        if (!recent.isEmpty())
            m_recent->addSeparator();
        QAction *clear = m_recent->addAction(QStringLiteral("Clear Menu"));
        clear->setEnabled(!recent.isEmpty());
        connect(clear, &QAction::triggered, this, [&platform] { platform.clearRecentDocuments(); });
    });
    file->addSeparator();
    m_exportAction = file->addAction(QStringLiteral("Export as PDF\u2026"));
    m_exportAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    connect(m_exportAction, &QAction::triggered, &m_model, &AppModel::exportPDF);
}

QWidget *ContentView::currentContent() const
{
    return m_content->currentWidget();
}

void ContentView::refresh()
{
    const bool loaded = m_model.document() != nullptr;
    for (QAbstractButton *button : m_modes->buttons())
        button->setEnabled(loaded);
    m_search->setEnabled(loaded);
    m_export->setEnabled(loaded);
    if (m_exportAction)
        m_exportAction->setEnabled(loaded);
    m_modes->button(int(m_model.viewMode()))->setChecked(true);

    if (!loaded) {
        const auto &error = m_model.errorMessage();
        m_empty->setError(error ? &*error : nullptr);
        m_content->setCurrentWidget(m_empty);
        m_message->hide();
        return;
    }
    // A failed export leaves the document on screen; its message shows above it.
    m_message->setVisible(m_model.errorMessage().has_value());
    m_message->setText(m_model.errorMessage().value_or(QString()));
    switch (m_model.viewMode()) {
    case AppModel::ViewMode::outline:
        m_content->setCurrentWidget(m_outline);
        break;
    case AppModel::ViewMode::flat:
        m_content->setCurrentWidget(m_flat);
        m_flat->refreshIfStale();
        break;
    case AppModel::ViewMode::raw:
        m_content->setCurrentWidget(m_raw);
        m_raw->refreshIfStale();
        break;
    }
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
    QTimer::singleShot(0, this, [this, path = *file] { m_model.open(path); });
}
