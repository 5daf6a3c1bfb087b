#pragma once

#include <QByteArray>
#include <QMainWindow>

#include <array>
#include <cstdint>

class ActivityBar;
class AlertPresenter;
class EmptyStateView;
class FindingsPanel;
class LoadingView;
class ModeView;
class OutlineView;
class Platform;
class QAction;
class QDockWidget;
class QButtonGroup;
class QLabel;
class QLineEdit;
class QMenu;
class QStackedWidget;
class QTimer;
class QToolBar;
class QToolButton;
class RawView;
class SegmentsView;
class WindowMenus;
class WindowSession;

/// The window: its toolbar (open, mode, search, export), menus, the content of the current
/// state, and the drop target for files.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    /// With a platform the window has its menus (the recent documents come from it), and asks
    /// through `alerts` before it closes during an export.
    explicit MainWindow(WindowSession &session, QWidget *parent = nullptr);
    MainWindow(WindowSession &session, Platform &platform, AlertPresenter &alerts,
               QWidget *parent = nullptr);

    QAction *openAction() const;
    QAction *exportAction() const;
    QAction *exportCSVAction() const;
    QMenu *recentMenu() const;
    /// The window's menus, with a platform.
    WindowMenus *menus() const { return m_menus; }
    /// View ▸ Findings: whether the findings are listed under the views.
    QAction *findingsAction() const { return m_findingsAction; }

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
    SegmentsView *segments() const { return m_segments; }
    RawView *raw() const { return m_raw; }
    /// The line that shows a failed export while the document stays on screen.
    QLabel *messageBar() const { return m_message; }
    /// The warning shown above a document that does not look like X12.
    QLabel *notX12Banner() const { return m_notX12; }
    ActivityBar *activityBar() const { return m_activity; }
    /// The list of the document's findings, under the views.
    FindingsPanel *findingsPanel() const { return m_findings; }

    /// Moves to the next (or previous) match of the search in the current view.
    void findNext(bool backwards = false);
    /// Shows a segment (index from 0) in the current view; in the lists it is found even when
    /// the search hides it, by clearing the search.
    void goToSegment(std::uint32_t segment);
    /// Asks for a segment's number, and shows that segment.
    void askForSegment();
    /// Copies what is selected where the keyboard focus is: text in the inspector or the summary,
    /// element values in the inspector, else the selected segments' raw text.
    void copy();

    /// The window's size, position, splitters and view, to restore on the next launch.
    QByteArray saveLayout() const;
    void restoreLayout(const QByteArray &layout);

signals:
    /// "Make Default App for X12 Files…" was chosen.
    void makeDefaultRequested();

protected:
    /// Asks before an export under way is stopped by closing (or quitting).
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void buildToolbar();
    void buildModePicker(QToolBar *toolbar);
    void buildBanners();
    void buildFindingsPanel();
    void followSession();
    /// True while the loading state is on screen, in place of the document.
    bool showsLoading() const;
    void refresh();
    void refreshActions();
    void refreshTitle();
    void refreshMatches();
    /// The view of the current mode.
    ModeView *modeView() const;

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
    SegmentsView *m_segments;
    RawView *m_raw;
    std::array<ModeView *, 3> m_modeViews; // by ViewMode
    FindingsPanel *m_findings;
    QDockWidget *m_findingsDock;
    QAction *m_findingsAction;
    QTimer *m_loadingDelay;
    bool m_looksLikeX12 = true; // of the document shown
    WindowMenus *m_menus = nullptr;
    AlertPresenter *m_alerts = nullptr;
};
