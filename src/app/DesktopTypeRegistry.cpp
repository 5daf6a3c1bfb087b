#include "app/DesktopTypeRegistry.h"

#include "app/DefaultHandler.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThreadPool>

#include <mutex>

namespace {

const QString defaultsSection = QStringLiteral("[Default Applications]");

/// Every mimeapps.list consulted, in the order of the freedesktop association rules.
QStringList mimeAppsLists()
{
    QStringList lists;
    for (const QString &dir : QStandardPaths::standardLocations(QStandardPaths::ConfigLocation))
        lists << dir + QStringLiteral("/mimeapps.list");
    for (const QString &dir :
         QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation))
        lists << dir + QStringLiteral("/mimeapps.list");
    return lists;
}

QString readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

/// Edits of the user's list from the registration threads go one at a time.
std::mutex &listLock()
{
    static std::mutex lock;
    return lock;
}

} // namespace

QString DesktopTypeRegistry::userMimeAppsList()
{
    return QStandardPaths::writableLocation(QStandardPaths::ConfigLocation) +
           QStringLiteral("/mimeapps.list");
}

QString DesktopTypeRegistry::withDefault(const QString &contents, const QString &mimeType,
                                         const QString &desktopId)
{
    QStringList lines = contents.split(u'\n');
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast(); // the final line break
    const QString entry = mimeType + u'=' + desktopId + u';';
    qsizetype section = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString trimmed = lines[i].trimmed();
        if (trimmed.startsWith(u'[')) {
            if (section >= 0)
                break; // past our section without finding the type
            if (trimmed == defaultsSection)
                section = i;
            continue;
        }
        if (section >= 0 && trimmed.section(u'=', 0, 0).trimmed() == mimeType) {
            lines[i] = entry;
            return lines.join(u'\n') + u'\n';
        }
    }
    if (section < 0) {
        if (!lines.isEmpty() && !lines.back().trimmed().isEmpty())
            lines << QString();
        lines << defaultsSection << entry;
    } else {
        // After the section's last entry, before any blank lines that end it.
        qsizetype at = section + 1;
        while (at < lines.size() && !lines[at].trimmed().startsWith(u'['))
            ++at;
        while (at > section + 1 && lines[at - 1].trimmed().isEmpty())
            --at;
        lines.insert(at, entry);
    }
    return lines.join(u'\n') + u'\n';
}

std::optional<QString> DesktopTypeRegistry::defaultIn(const QString &contents,
                                                      const QString &mimeType)
{
    bool inSection = false;
    for (const QString &line : contents.split(u'\n')) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(u'[')) {
            inSection = trimmed == defaultsSection;
            continue;
        }
        if (!inSection || trimmed.section(u'=', 0, 0).trimmed() != mimeType)
            continue;
        const QString first = trimmed.section(u'=', 1).section(u';', 0, 0).trimmed();
        if (!first.isEmpty())
            return first;
    }
    return std::nullopt;
}

bool DesktopTypeRegistry::isInstalled() const
{
    return !QStandardPaths::locate(QStandardPaths::ApplicationsLocation, thisApplication())
                .isEmpty();
}

bool DesktopTypeRegistry::knows(const QString &typeIdentifier) const
{
    return QMimeDatabase().mimeTypeForName(DefaultHandler::mimeTypeFor(typeIdentifier)).isValid();
}

std::optional<QString> DesktopTypeRegistry::defaultApplication(const QString &typeIdentifier) const
{
    const QString mimeType = DefaultHandler::mimeTypeFor(typeIdentifier);
    for (const QString &list : mimeAppsLists()) {
        if (auto found = defaultIn(readAll(list), mimeType))
            return found;
    }
    return std::nullopt;
}

QString DesktopTypeRegistry::thisApplication() const
{
    return QString::fromLatin1(DefaultHandler::applicationId) + QStringLiteral(".desktop");
}

void DesktopTypeRegistry::setDefault(const QString &typeIdentifier,
                                     std::function<void(std::optional<QString> error)> done)
{
    const QString mimeType = DefaultHandler::mimeTypeFor(typeIdentifier);
    const QString desktopId = thisApplication();
    QThreadPool::globalInstance()->start([mimeType, desktopId, done = std::move(done)] {
        std::optional<QString> error;
        {
            std::lock_guard guard(listLock());
            const QString path = userMimeAppsList();
            QDir().mkpath(QFileInfo(path).absolutePath());
            const QString updated = withDefault(readAll(path), mimeType, desktopId);
            // Replaced whole or not at all: a failed write leaves the user's list as it was.
            QSaveFile file(path);
            if (!file.open(QIODevice::WriteOnly) || file.write(updated.toUtf8()) < 0 ||
                !file.commit())
                error = file.errorString();
        }
        done(error);
    });
}
