#include "app/AppDelegate.h"

#include "app/WindowSession.h"

#include <QTimer>

void AppDelegate::openRequest(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    const QString path = paths.front();
    if (m_session) {
        // After the handler has returned, from the event loop; requests run in arrival order.
        QTimer::singleShot(0, m_session, [session = m_session, path] { session->open(path); });
        return;
    }
    m_pendingPath = path; // a later request replaces an earlier one
}

void AppDelegate::connectSession(WindowSession &session)
{
    m_session = &session;
}

std::optional<QString> AppDelegate::takePendingPath()
{
    std::optional<QString> path = std::move(m_pendingPath);
    m_pendingPath.reset();
    return path;
}
