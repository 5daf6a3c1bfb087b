#include "app/DesktopPlatform.h"

#include "app/RecentDocuments.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QUrl>

std::optional<QString> DesktopPlatform::chooseFileToOpen(const QString &message,
                                                         const QString &folder)
{
    QFileDialog dialog(nullptr, message, folder);
    dialog.setFileMode(QFileDialog::ExistingFile); // one file, any type
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().front();
}

std::optional<QString> DesktopPlatform::chooseExportDestination(const QString &proposed,
                                                                const QString &message,
                                                                ExportFormat format)
{
    QFileDialog dialog(nullptr, message);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    if (format == ExportFormat::csv) {
        dialog.setNameFilter(QStringLiteral("CSV files (*.csv)"));
        dialog.setDefaultSuffix(QStringLiteral("csv"));
    } else {
        dialog.setNameFilter(QStringLiteral("PDF documents (*.pdf)"));
        dialog.setDefaultSuffix(QStringLiteral("pdf"));
    }
    dialog.selectFile(proposed);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().front();
}

void DesktopPlatform::showInFileManager(const QString &path)
{
    // The freedesktop file manager interface selects the file; without one, open its folder.
    // The call is answered from the event loop: a file manager that is slow to start never
    // holds up the window.
    const auto openFolder = [path] {
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
    };
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openFolder();
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 2000), qApp);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [openFolder](QDBusPendingCallWatcher *answered) {
                         answered->deleteLater();
                         if (answered->isError())
                             openFolder();
                     });
}

QStringList DesktopPlatform::recentDocuments() const
{
    return RecentDocuments::opened();
}

void DesktopPlatform::clearRecentDocuments()
{
    RecentDocuments::clear();
}

void DesktopPlatform::noteRecentDocument(const QString &path)
{
    RecentDocuments::note(path, QMimeDatabase().mimeTypeForFile(path).name());
}
