#pragma once

#include "app/AppDelegate.h"
#include "app/DisplayText.h"
#include "core/dictionary/X12Dictionary.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <memory>
#include <optional>

class AlertPresenter;
class Appearance;
class MainWindow;
class WindowSession;
class Platform;
class PreferenceStore;
class TypeRegistry;
class QDataStream;
class QLocalServer;
class QLocalSocket;

/// The windowed application: one session, one window with its menus, the delegate, and the socket,
/// one per user and display, through which a second launch hands its files to the running one.
class KelvaneApp : public QObject
{
    Q_OBJECT

public:
    /// The desktop services must outlive the application object.
    KelvaneApp(Platform &platform, TypeRegistry &registry, AlertPresenter &alerts,
               PreferenceStore &preferences, QObject *parent = nullptr);
    ~KelvaneApp() override;

    /// The most one launch request may take. Paths are short: a connection that sends more is not
    /// a launch of ours, and is dropped before it can make this process hold more.
    static constexpr qint64 maxRequestBytes = 1 << 20;

    /// Where the instance for this user and display ($WAYLAND_DISPLAY, else $DISPLAY) listens: in
    /// $XDG_RUNTIME_DIR when only the user can write there, else in a folder of the user's own
    /// under the temporary folder, made if missing. Empty when neither is safe to use; then each
    /// launch runs on its own.
    static QString socketPath();
    /// Hands `paths` to an instance that is already running. True when one took them; then this
    /// process has nothing more to do.
    static bool handToRunningInstance(const QStringList &paths);
    /// Starts listening for later launches. False when there is no safe socket path, or when
    /// another instance is listening already; the window works either way.
    bool listenForLaunches();

    AppDelegate &delegate() { return m_delegate; }
    /// The one session; made on first use.
    WindowSession &session();
    MainWindow &window();
    /// Light or dark: made with the application object, its choice brought back from the last
    /// run when the window is made, and remembered as View ▸ Appearance changes it.
    Appearance &appearance() { return *m_appearance; }

    /// Shows the window and runs the steps that follow its appearance: connect the delegate, raise
    /// the window, open the parked file, then ask once about default file types.
    void showWindow();

private:
    void acceptLaunches();
    /// Delivers every whole request the socket has; drops a connection that is not a launch.
    void readRequests(QLocalSocket &socket, QDataStream &stream);

    // Rows and labels show one line of a title: on this thread, titles quote at most that much
    // of each value, whatever size the file's segments are. Set before the window exists.
    X12Dictionary::QuotedPieceLimit m_shortTitles{DisplayText::maxLength};
    Platform &m_platform;
    TypeRegistry &m_registry;
    AlertPresenter &m_alerts;
    PreferenceStore &m_preferences;
    AppDelegate m_delegate;
    std::unique_ptr<Appearance> m_appearance;
    std::unique_ptr<WindowSession> m_session;
    std::unique_ptr<MainWindow> m_window;
    QLocalServer *m_server = nullptr;
};
