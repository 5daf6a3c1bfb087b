#include "app/RecentDocuments.h"

#include <QDateTime>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

const QString applicationName = QStringLiteral("Kelvane");
const QString bookmarkNamespace =
    QStringLiteral("http://www.freedesktop.org/standards/desktop-bookmarks");
const QString mimeNamespace =
    QStringLiteral("http://www.freedesktop.org/standards/shared-mime-info");

/// A new list holding no bookmarks.
QDomDocument freshList()
{
    QDomDocument document;
    document.appendChild(document.createProcessingInstruction(
        QStringLiteral("xml"), QStringLiteral("version=\"1.0\" encoding=\"UTF-8\"")));
    QDomElement root = document.createElement(QStringLiteral("xbel"));
    root.setAttribute(QStringLiteral("version"), QStringLiteral("1.0"));
    root.setAttribute(QStringLiteral("xmlns:bookmark"), bookmarkNamespace);
    root.setAttribute(QStringLiteral("xmlns:mime"), mimeNamespace);
    document.appendChild(root);
    return document;
}

/// Says why the list is left alone, once for as long as the reason stays the same: the menu reads
/// the list each time it opens. Only the GUI thread touches the list.
void warnUnusable(const QString &path, const QString &reason)
{
    static QString s_reported;
    const QString warning = path + QStringLiteral(": ") + reason;
    if (warning == s_reported)
        return;
    s_reported = warning;
    qWarning("recent documents: leaving %s as it is: %s", qUtf8Printable(path),
             qUtf8Printable(reason));
}

/// The list on disk; a fresh one when there is no file yet. Nullopt when the file is there but
/// cannot be read or parsed: it holds other applications' entries that a rewrite would drop.
std::optional<QDomDocument> load()
{
    const QString path = RecentDocuments::listPath();
    QFile file(path);
    if (!file.exists())
        return freshList();
    if (!file.open(QIODevice::ReadOnly)) {
        warnUnusable(path, file.errorString());
        return std::nullopt;
    }
    QDomDocument document;
    QString message;
    int line = 0;
    int column = 0;
    if (!document.setContent(&file, true, &message, &line, &column)) {
        warnUnusable(path,
                     QStringLiteral("%1 at line %2, column %3").arg(message).arg(line).arg(column));
        return std::nullopt;
    }
    return document;
}

/// Replaced whole or not at all.
bool save(const QDomDocument &document)
{
    const QString path = RecentDocuments::listPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(document.toByteArray(2)) >= 0 &&
           file.commit();
}

/// Kelvane's application element inside a bookmark, or a null element.
QDomElement ourApplication(const QDomElement &bookmark)
{
    const QDomNodeList applications =
        bookmark.elementsByTagNameNS(bookmarkNamespace, QStringLiteral("application"));
    for (int i = 0; i < applications.size(); ++i) {
        QDomElement application = applications.at(i).toElement();
        if (application.attribute(QStringLiteral("name")) == applicationName)
            return application;
    }
    return {};
}

QString now()
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
}

} // namespace

namespace RecentDocuments {

QString listPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/recently-used.xbel");
}

bool note(const QString &path, const QString &mimeType)
{
    std::optional<QDomDocument> loaded = load();
    if (!loaded)
        return false;
    QDomDocument &document = *loaded;
    QDomElement root = document.documentElement();
    const QString href =
        QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded);
    const QString time = now();
    QDomElement bookmark;
    for (QDomElement b = root.firstChildElement(QStringLiteral("bookmark")); !b.isNull();
         b = b.nextSiblingElement(QStringLiteral("bookmark"))) {
        if (b.attribute(QStringLiteral("href")) == href)
            bookmark = b;
    }
    if (bookmark.isNull()) {
        bookmark = document.createElement(QStringLiteral("bookmark"));
        bookmark.setAttribute(QStringLiteral("href"), href);
        bookmark.setAttribute(QStringLiteral("added"), time);
        QDomElement info = document.createElement(QStringLiteral("info"));
        QDomElement metadata = document.createElement(QStringLiteral("metadata"));
        metadata.setAttribute(QStringLiteral("owner"), QStringLiteral("http://freedesktop.org"));
        QDomElement mime =
            document.createElementNS(mimeNamespace, QStringLiteral("mime:mime-type"));
        mime.setAttribute(QStringLiteral("type"), mimeType);
        metadata.appendChild(mime);
        metadata.appendChild(
            document.createElementNS(bookmarkNamespace, QStringLiteral("bookmark:applications")));
        info.appendChild(metadata);
        bookmark.appendChild(info);
        root.appendChild(bookmark);
    }
    bookmark.setAttribute(QStringLiteral("modified"), time);
    bookmark.setAttribute(QStringLiteral("visited"), time);
    QDomElement application = ourApplication(bookmark);
    if (application.isNull()) {
        QDomNodeList lists =
            bookmark.elementsByTagNameNS(bookmarkNamespace, QStringLiteral("applications"));
        if (lists.isEmpty())
            return false; // an entry we do not understand is left alone
        application =
            document.createElementNS(bookmarkNamespace, QStringLiteral("bookmark:application"));
        application.setAttribute(QStringLiteral("name"), applicationName);
        application.setAttribute(QStringLiteral("exec"), QStringLiteral("'kelvane %f'"));
        application.setAttribute(QStringLiteral("count"), 0);
        lists.at(0).appendChild(application);
    }
    application.setAttribute(QStringLiteral("modified"), time);
    application.setAttribute(QStringLiteral("count"),
                             application.attribute(QStringLiteral("count")).toInt() + 1);
    return save(document);
}

QStringList opened(int limit)
{
    const std::optional<QDomDocument> document = load();
    if (!document)
        return {};
    std::vector<std::pair<QString, QString>> entries; // (modified, path)
    for (QDomElement b = document->documentElement().firstChildElement(QStringLiteral("bookmark"));
         !b.isNull(); b = b.nextSiblingElement(QStringLiteral("bookmark"))) {
        const QDomElement application = ourApplication(b);
        if (application.isNull())
            continue;
        const QUrl url(b.attribute(QStringLiteral("href")));
        if (url.isLocalFile())
            entries.emplace_back(application.attribute(QStringLiteral("modified")),
                                 url.toLocalFile());
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto &a, const auto &b) { return a.first > b.first; });
    QStringList paths;
    for (const auto &[modified, path] : entries) {
        if (paths.size() == limit)
            break;
        paths << path;
    }
    return paths;
}

bool clear()
{
    std::optional<QDomDocument> loaded = load();
    if (!loaded)
        return false;
    QDomElement root = loaded->documentElement();
    std::vector<QDomElement> emptied;
    for (QDomElement b = root.firstChildElement(QStringLiteral("bookmark")); !b.isNull();
         b = b.nextSiblingElement(QStringLiteral("bookmark"))) {
        QDomElement application = ourApplication(b);
        if (application.isNull())
            continue;
        QDomNode list = application.parentNode();
        list.removeChild(application);
        if (list.firstChildElement().isNull())
            emptied.push_back(b);
    }
    for (QDomElement &b : emptied)
        root.removeChild(b);
    return save(*loaded);
}

} // namespace RecentDocuments
