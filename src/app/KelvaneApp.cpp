#include "app/KelvaneApp.h"

#include "app/Appearance.h"
#include "app/DefaultHandler.h"
#include "app/MainWindow.h"
#include "app/Platform.h"
#include "app/PreferenceStore.h"
#include "app/WindowMenus.h"
#include "app/WindowSession.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include <memory>
#include <optional>
#include <utility>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString appearanceKey = QStringLiteral("window/appearance");

// Fixed, so that a running instance and a launch of another Qt version still understand each other.
constexpr QDataStream::Version requestStreamVersion = QDataStream::Qt_6_0;

/// $XDG_RUNTIME_DIR when it can hold the socket: an absolute path to a directory of this user
/// that nobody else can write to.
std::optional<QString> runtimeFolder()
{
    const QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QDir::isAbsolutePath(folder))
        return std::nullopt;
    struct stat info = {};
    if (::stat(QFile::encodeName(folder).constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::getuid() || (info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return std::nullopt;
    return folder;
}

/// A folder of the user's own under the temporary folder, made with mode 0700. One found there
/// already is used only when it is a directory (not a link) of this user with mode 0700: anyone
/// can create names in the temporary folder, so someone else may have prepared it.
std::optional<QString> privateFolder()
{
    const QString folder = QDir::tempPath() + QStringLiteral("/kelvane-runtime-%1").arg(::getuid());
    const QByteArray name = QFile::encodeName(folder);
    if (::mkdir(name.constData(), 0700) == 0)
        ::chmod(name.constData(), 0700); // the umask may have taken bits away
    struct stat info = {};
    if (::lstat(name.constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::getuid() || (info.st_mode & 07777) != 0700) {
        qWarning("single instance: %s is not a private folder of this user; not using it",
                 name.constData());
        return std::nullopt;
    }
    return folder;
}

bool isSafeInFileName(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
           c == u'.' || c == u'_' || c == u'-';
}

/// The display this launch shows on, made into part of a file name: a launch on another display
/// gets a window of its own there.
QString displayKey()
{
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty())
        display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty())
        return QStringLiteral("none");
    QString key;
    for (const QChar c : display)
        key += isSafeInFileName(c) ? c : u'_';
    // A socket path has to fit in 108 bytes: a long name keeps its start and a digest of the whole.
    if (key.size() > 32)
        key = key.left(16) + u'-' +
              QString::fromLatin1(
                  QCryptographicHash::hash(display.toUtf8(), QCryptographicHash::Sha256)
                      .toHex()
                      .left(15));
    return key;
}

/// Reads one request, written as a QStringList. The count is checked before anything is set
/// aside for it: QDataStream would reserve room for as many strings as a client claims.
QStringList readRequest(QDataStream &stream)
{
    quint32 count = 0;
    stream >> count;
    // Each path takes at least the 4 bytes of its length.
    if (count > KelvaneApp::maxRequestBytes / 4) {
        stream.setStatus(QDataStream::ReadCorruptData);
        return {};
    }
    QStringList paths;
    for (quint32 i = 0; i < count && stream.status() == QDataStream::Ok; ++i) {
        QString path;
        stream >> path; // QString reads a long claimed length in steps, as the bytes come
        paths << path;
    }
    return paths;
}

} // namespace

KelvaneApp::KelvaneApp(Platform &platform, TypeRegistry &registry, AlertPresenter &alerts,
                       PreferenceStore &preferences, QObject *parent)
    : QObject(parent), m_platform(platform), m_registry(registry), m_alerts(alerts),
      m_preferences(preferences), m_delegate(this), m_appearance(std::make_unique<Appearance>())
{
}

KelvaneApp::~KelvaneApp() = default;

WindowSession &KelvaneApp::session()
{
    if (!m_session)
        m_session = std::make_unique<WindowSession>(m_platform);
    return *m_session;
}

MainWindow &KelvaneApp::window()
{
    if (!m_window) {
        m_window = std::make_unique<MainWindow>(session(), m_platform, m_alerts);
        connect(m_window.get(), &MainWindow::makeDefaultRequested, this,
                [this] { DefaultHandler::makeDefaultInteractively(m_registry, m_alerts); });
        // The user's light or dark from the last run, and from now on.
        const QByteArray names[] = {"system", "light", "dark"};
        const QByteArray saved = m_preferences.data(appearanceKey);
        for (std::size_t i = 0; i < std::size(names); ++i)
            if (saved == names[i])
                m_appearance->setChoice(Appearance::Choice(i));
        connect(m_appearance.get(), &Appearance::changed, this, [this, names] {
            m_preferences.setData(appearanceKey, names[int(m_appearance->choice())]);
        });
        m_window->menus()->chooseAppearanceOf(*m_appearance);
    }
    return *m_window;
}

void KelvaneApp::showWindow()
{
    MainWindow &w = window();
    // The window comes back as the user left it, and is remembered when the application quits.
    w.restoreLayout(m_preferences.data(QStringLiteral("window/layout")));
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        if (m_window)
            m_preferences.setData(QStringLiteral("window/layout"), m_window->saveLayout());
    });
    w.show();
    m_delegate.connectSession(session());
    w.raise();
    w.activateWindow();
    const auto pending = m_delegate.takePendingPath();
    if (!pending) {
        DefaultHandler::promptOnFirstLaunchIfNeeded(m_registry, m_alerts, m_preferences);
        return;
    }
    // The question waits until the parked file is on screen.
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(&session(), &WindowSession::loadingChanged, this, [this, connection] {
        if (session().loadingFile())
            return;
        disconnect(*connection);
        DefaultHandler::promptOnFirstLaunchIfNeeded(m_registry, m_alerts, m_preferences);
    });
    session().open(*pending);
}

QString KelvaneApp::socketPath()
{
    std::optional<QString> folder = runtimeFolder();
    if (!folder)
        folder = privateFolder();
    if (!folder)
        return {};
    return *folder +
           QStringLiteral("/kelvane-%1-%2").arg(QString::number(::getuid()), displayKey());
}

bool KelvaneApp::handToRunningInstance(const QStringList &paths)
{
    const QString path = socketPath();
    if (path.isEmpty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(500))
        return false;
    // As many paths as a request may hold: the running instance opens only the first anyway, and
    // drops a longer request whole.
    QStringList absolute;
    qint64 size = 4;
    for (const QString &file : paths) {
        const QString full = QFileInfo(file).absoluteFilePath();
        size += 4 + 2 * full.size();
        if (size > maxRequestBytes)
            break;
        absolute << full;
    }
    QByteArray message;
    QDataStream stream(&message, QIODevice::WriteOnly);
    stream.setVersion(requestStreamVersion);
    stream << absolute;
    socket.write(message);
    // A request that did not get through is this launch's to open.
    bool sent = true;
    while (sent && socket.bytesToWrite() > 0)
        sent = socket.waitForBytesWritten(1000);
    socket.disconnectFromServer();
    return sent;
}

bool KelvaneApp::listenForLaunches()
{
    const QString path = socketPath();
    if (path.isEmpty())
        return false;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &KelvaneApp::acceptLaunches);
    // A socket already at the path belongs to an instance that started at the same time as this
    // one, which keeps it, or was left by a process that died, whose place this one takes. Ask
    // before listening: with access options, listen() renames its socket over whatever is there.
    if (QFileInfo::exists(path)) {
        QLocalSocket probe;
        probe.connectToServer(path);
        const bool answered = probe.waitForConnected(200);
        probe.abort();
        if (answered) {
            delete std::exchange(m_server, nullptr);
            return false;
        }
        QLocalServer::removeServer(path);
    }
    if (m_server->listen(path))
        return true;
    qWarning("single instance: cannot listen on %s: %s", qUtf8Printable(path),
             qUtf8Printable(m_server->errorString()));
    delete std::exchange(m_server, nullptr);
    return false;
}

void KelvaneApp::acceptLaunches()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // Each request is read as a transaction on the connection's stream: one not all there yet
        // stays in the socket for the next read. The stream goes when the socket does.
        auto stream = std::make_shared<QDataStream>(socket);
        stream->setVersion(requestStreamVersion);
        connect(socket, &QLocalSocket::readyRead, this,
                [this, socket, stream] { readRequests(*socket, *stream); });
        if (socket->bytesAvailable() > 0)
            readRequests(*socket, *stream);
    }
}

void KelvaneApp::readRequests(QLocalSocket &socket, QDataStream &stream)
{
    for (;;) {
        stream.startTransaction();
        const QStringList paths = readRequest(stream);
        if (!stream.commitTransaction())
            break; // incomplete: the bytes stay for the next read
        if (m_window) {
            m_window->raise();
            m_window->activateWindow();
        }
        m_delegate.openRequest(paths);
    }
    if (stream.status() == QDataStream::ReadCorruptData ||
        socket.bytesAvailable() > maxRequestBytes)
        socket.abort();
}
