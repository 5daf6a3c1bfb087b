#pragma once

#include <QMainWindow>
#include <QWidget>

class AppModel;
class FlatSegmentView;
class Platform;
class QAction;
class QMenu;
class OutlineView;
class QButtonGroup;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QToolButton;
class RawTextView;

/// The welcome state with its open button, or the error state after a failed open.
class EmptyStateView : public QWidget
{
    Q_OBJECT

public:
    explicit EmptyStateView(AppModel &model, QWidget *parent = nullptr);
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

/// The window: its toolbar (open, mode, search, export), the content of the current state, and
/// the drop target for files.
class ContentView : public QMainWindow
{
    Q_OBJECT

public:
    /// With a platform the window has its menus (the recent documents come from it).
    explicit ContentView(AppModel &model, QWidget *parent = nullptr);
    ContentView(AppModel &model, Platform &platform, QWidget *parent = nullptr);

    QAction *openAction() const { return m_openAction; }
    QAction *exportAction() const { return m_exportAction; }
    QMenu *recentMenu() const { return m_recent; }

    QToolButton *openButton() const { return m_open; }
    QButtonGroup *modeButtons() const { return m_modes; }
    QLineEdit *searchField() const { return m_search; }
    QToolButton *exportButton() const { return m_export; }
    QWidget *currentContent() const;
    EmptyStateView *emptyState() const { return m_empty; }
    OutlineView *outline() const { return m_outline; }
    FlatSegmentView *segments() const { return m_flat; }
    RawTextView *raw() const { return m_raw; }
    /// The line that shows a failed export while the document stays on screen.
    QLabel *messageBar() const { return m_message; }

signals:
    /// "Make Default App for X12 Files…" was chosen.
    void makeDefaultRequested();

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void refresh();
    void buildMenus(Platform &platform);

    AppModel &m_model;
    QToolButton *m_open;
    QButtonGroup *m_modes;
    QLineEdit *m_search;
    QToolButton *m_export;
    QLabel *m_message;
    QStackedWidget *m_content;
    EmptyStateView *m_empty;
    OutlineView *m_outline;
    FlatSegmentView *m_flat;
    RawTextView *m_raw;
    QAction *m_openAction = nullptr;
    QAction *m_exportAction = nullptr;
    QMenu *m_recent = nullptr;
};
