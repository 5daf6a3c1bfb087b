#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class WindowSession;

/// Receives the desktop's requests to open files. Until the window is shown it parks the first
/// file of the latest request; afterwards it hands each request to the session from the event loop.
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    /// An open request: the first path counts, the rest are ignored.
    void openRequest(const QStringList &paths);
    /// The window is up: from now on requests go straight to the session.
    void connectSession(WindowSession &session);
    /// Takes the parked file, leaving none.
    std::optional<QString> takePendingPath();

    WindowSession *session() const { return m_session; }
    const std::optional<QString> &pendingPath() const { return m_pendingPath; }

private:
    WindowSession *m_session = nullptr;
    std::optional<QString> m_pendingPath;
};
