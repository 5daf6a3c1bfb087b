#include "app/KelvaneApp.h"

#include "app/AppModel.h"
#include "app/ContentView.h"
#include "app/DefaultHandler.h"
#include "app/Platform.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <unistd.h>

namespace {

/// The per-user name of the socket the running instance listens on.
QString socketName()
{
    return QStringLiteral("kelvane-%1").arg(::getuid());
}

} // namespace

void AppDelegate::openRequest(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    const QString path = paths.front();
    if (m_model) {
        // After the handler has returned, from the event loop; requests run in arrival order.
        QTimer::singleShot(0, m_model, [model = m_model, path] { model->open(path); });
        return;
    }
    m_pendingURL = path; // a later request replaces an earlier one
}

void AppDelegate::connectModel(AppModel &model)
{
    m_model = &model;
}

std::optional<QString> AppDelegate::takePendingURL()
{
    std::optional<QString> path = std::move(m_pendingURL);
    m_pendingURL.reset();
    return path;
}

KelvaneApp::KelvaneApp(Platform &platform, TypeRegistry &registry, AlertPresenter &alerts,
                       PreferenceStore &preferences, QObject *parent)
    : QObject(parent), m_platform(platform), m_registry(registry), m_alerts(alerts),
      m_preferences(preferences), m_delegate(this)
{
}

KelvaneApp::~KelvaneApp() = default;

AppModel &KelvaneApp::model()
{
    if (!m_model)
        m_model = std::make_unique<AppModel>(m_platform);
    return *m_model;
}

ContentView &KelvaneApp::window()
{
    if (!m_window) {
        m_window = std::make_unique<ContentView>(model(), m_platform);
        connect(m_window.get(), &ContentView::makeDefaultRequested, this,
                [this] { DefaultHandler::makeDefaultInteractively(m_registry, m_alerts); });
    }
    return *m_window;
}

void KelvaneApp::showWindow()
{
    ContentView &w = window();
    // The window comes back as the user left it, and is remembered when the application quits.
    w.restoreLayout(m_preferences.data(QStringLiteral("window/layout")));
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        if (m_window)
            m_preferences.setData(QStringLiteral("window/layout"), m_window->saveLayout());
    });
    w.show();
    m_delegate.connectModel(model());
    w.raise();
    w.activateWindow();
    const auto pending = m_delegate.takePendingURL();
    if (!pending) {
        DefaultHandler::promptOnFirstLaunchIfNeeded(m_registry, m_alerts, m_preferences);
        return;
    }
    // The question waits until the parked file is on screen.
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(&model(), &AppModel::loadingChanged, this, [this, connection] {
        if (model().loadingFile())
            return;
        disconnect(*connection);
        DefaultHandler::promptOnFirstLaunchIfNeeded(m_registry, m_alerts, m_preferences);
    });
    model().open(*pending);
}

bool KelvaneApp::handToRunningInstance(const QStringList &paths)
{
    QLocalSocket socket;
    socket.connectToServer(socketName());
    if (!socket.waitForConnected(500))
        return false;
    QStringList absolute;
    for (const QString &path : paths)
        absolute << QFileInfo(path).absoluteFilePath();
    QByteArray message;
    QDataStream stream(&message, QIODevice::WriteOnly);
    stream << absolute;
    socket.write(message);
    socket.flush();
    socket.waitForBytesWritten(1000);
    socket.disconnectFromServer();
    return true;
}

void KelvaneApp::listenForLaunches()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(socketName())) {
        // A socket left by a process that died: take its place.
        QLocalServer::removeServer(socketName());
        m_server->listen(socketName());
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                QStringList paths;
                QDataStream stream(socket->readAll());
                stream >> paths;
                if (m_window) {
                    m_window->raise();
                    m_window->activateWindow();
                }
                m_delegate.openRequest(paths);
            });
        }
    });
}
