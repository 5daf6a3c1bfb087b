#pragma once

#include <QByteArray>
#include <QMainWindow>
#include <QWidget>

class WindowSession;
class FlatSegmentView;
class Platform;
class QAction;
class QMenu;
class OutlineView;
class QButtonGroup;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QTimer;
class QToolButton;
class RawTextView;

/// The welcome state with its open button, or the error state after a failed open.
class EmptyStateView : public QWidget
{
    Q_OBJECT

public:
    explicit EmptyStateView(WindowSession &session, QWidget *parent = nullptr);
    void setError(const QString *error);
    QString title() const;
    QString line() const;
    QPushButton *button() const { return m_button; }

private:
    QLabel *m_icon;
    QLabel *m_title;
    QLabel *m_line;
    QPushButton *m_button;
};

/// What the window shows while a file is read and parsed.
class LoadingView : public QWidget
{
    Q_OBJECT

public:
    explicit LoadingView(QWidget *parent = nullptr);
    void setFile(const QString &path);
    QString title() const;

private:
    QLabel *m_title;
    QProgressBar *m_bar;
};

/// A strip above the document: the export under way with its progress and Cancel, a finished
/// export with its path and Show in Folder, or a short notice.
class ActivityBar : public QWidget
{
    Q_OBJECT

public:
    explicit ActivityBar(WindowSession &session, QWidget *parent = nullptr);
    /// Shows a notice that goes away by itself after a while, or when closed.
    void showNotice(const QString &text);
    QString text() const;
    QPushButton *actionButton() const { return m_action; }

private:
    void refresh();

    WindowSession &m_session;
    QLabel *m_text;
    QProgressBar *m_progress;
    QPushButton *m_action;
    QToolButton *m_close;
    QTimer *m_noticeTimer;
    QString m_notice;
};

/// The window: its toolbar (open, mode, search, export), menus, the content of the current
/// state, and the drop target for files.
class ContentView : public QMainWindow
{
    Q_OBJECT

public:
    /// With a platform the window has its menus (the recent documents come from it).
    explicit ContentView(WindowSession &session, QWidget *parent = nullptr);
    ContentView(WindowSession &session, Platform &platform, QWidget *parent = nullptr);

    QAction *openAction() const { return m_openAction; }
    QAction *exportAction() const { return m_exportAction; }
    QAction *exportCSVAction() const { return m_exportCSVAction; }
    QMenu *recentMenu() const { return m_recent; }

    QToolButton *openButton() const { return m_open; }
    QButtonGroup *modeButtons() const { return m_modes; }
    QLineEdit *searchField() const { return m_search; }
    /// "12 matches", "No matches", or empty without a search.
    QLabel *matchCount() const { return m_matches; }
    QToolButton *exportButton() const { return m_export; }
    QWidget *currentContent() const;
    EmptyStateView *emptyState() const { return m_empty; }
    LoadingView *loadingState() const { return m_loading; }
    OutlineView *outline() const { return m_outline; }
    FlatSegmentView *segments() const { return m_flat; }
    RawTextView *raw() const { return m_raw; }
    /// The line that shows a failed export while the document stays on screen.
    QLabel *messageBar() const { return m_message; }
    /// The warning shown above a document that does not look like X12.
    QLabel *notX12Banner() const { return m_notX12; }
    ActivityBar *activityBar() const { return m_activity; }

    /// Moves to the next (or previous) match of the search in the current view.
    void findNext(bool backwards = false);
    /// Shows a segment (index from 0) in the current view; in the lists it is found even when
    /// the search hides it, by clearing the search.
    void goToSegment(std::uint32_t segment);
    /// Copies what is selected where the keyboard focus is: element values in the inspector,
    /// else the selected segments' raw text.
    void copy();

    /// The window's size, position, splitters and view, to restore on the next launch.
    QByteArray saveLayout() const;
    void restoreLayout(const QByteArray &layout);

signals:
    /// "Make Default App for X12 Files…" was chosen.
    void makeDefaultRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void refresh();
    void refreshActions();
    void refreshTitle();
    void refreshMatches();
    void buildMenus(Platform &platform);
    void askForSegment();

    WindowSession &m_session;
    QToolButton *m_open;
    QButtonGroup *m_modes;
    QLineEdit *m_search;
    QLabel *m_matches;
    QToolButton *m_export;
    QLabel *m_message;
    QLabel *m_notX12;
    ActivityBar *m_activity;
    QStackedWidget *m_content;
    EmptyStateView *m_empty;
    LoadingView *m_loading;
    OutlineView *m_outline;
    FlatSegmentView *m_flat;
    RawTextView *m_raw;
    QTimer *m_loadingDelay;
    bool m_looksLikeX12 = true; // of the document shown
    QAction *m_openAction = nullptr;
    QAction *m_exportAction = nullptr;
    QAction *m_exportCSVAction = nullptr;
    QMenu *m_recent = nullptr;
};
