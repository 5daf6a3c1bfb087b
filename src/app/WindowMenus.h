#pragma once

#include <QList>
#include <QObject>

class Appearance;
class MainWindow;
class Platform;
class QAction;
class QMenu;
class WindowSession;

/// The window's menus (Kelvane, File, Edit, View, Help) and their shortcuts. The items that act on
/// the document shown are enabled only while one is on screen.
class WindowMenus : public QObject
{
    Q_OBJECT

public:
    /// Adds the menus to the window's menu bar; the recent documents come from `platform`.
    WindowMenus(MainWindow &window, WindowSession &session, Platform &platform);

    QAction *openAction() const { return m_openAction; }
    QAction *exportAction() const { return m_exportAction; }
    QAction *exportCSVAction() const { return m_exportCSVAction; }
    QMenu *recentMenu() const { return m_recent; }
    /// View ▸ Appearance's System, Light and Dark.
    const QList<QAction *> &appearanceItems() const { return m_appearanceItems; }

    /// Lets View ▸ Appearance choose `appearance`'s light or dark, and show its choice. Until
    /// then its items are disabled.
    void chooseAppearanceOf(Appearance &appearance);

    /// Enables the items that act on the document: `shown` while one is on screen; the exports
    /// also while no export is under way.
    void enableDocumentItems(bool shown, bool exporting);

private:
    void buildAppMenu();
    void buildFileMenu();
    void buildEditMenu();
    void buildViewMenu();
    void buildHelpMenu();

    MainWindow &m_window;
    WindowSession &m_session;
    Platform &m_platform;
    QAction *m_openAction = nullptr;
    QAction *m_exportAction = nullptr;
    QAction *m_exportCSVAction = nullptr;
    QMenu *m_recent = nullptr;
    QList<QAction *> m_documentItems;   // Copy, Find, the views and the like
    QList<QAction *> m_appearanceItems; // by Appearance::Choice
};
