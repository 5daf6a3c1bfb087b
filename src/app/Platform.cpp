#include "app/Platform.h"

#include "app/RecentDocuments.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProgressDialog>
#include <QUrl>

std::optional<QString> DesktopPlatform::chooseFileToOpen(const QString &message)
{
    QFileDialog dialog(nullptr, message);
    dialog.setFileMode(QFileDialog::ExistingFile); // one file, any type
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().front();
}

std::optional<QString> DesktopPlatform::chooseExportDestination(const QString &proposedName,
                                                                const QString &message)
{
    QFileDialog dialog(nullptr, message);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(QStringLiteral("PDF documents (*.pdf)"));
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    dialog.selectFile(proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().front();
}

void DesktopPlatform::showInFileManager(const QString &path)
{
    // The freedesktop file manager interface selects the file; without one, open its folder.
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 2000);
    if (reply.type() != QDBusMessage::ReplyMessage)
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
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

namespace {

class DialogProgress : public Progress
{
public:
    DialogProgress(const QString &label, bool cancellable)
        : m_dialog(label, cancellable ? QStringLiteral("Cancel") : QString(), 0, 1000,
                   QApplication::activeWindow())
    {
        m_dialog.setWindowModality(Qt::WindowModal);
        m_dialog.setMinimumDuration(500);
        m_dialog.setAutoClose(false);
        m_dialog.setAutoReset(false);
        if (!cancellable)
            m_dialog.setCancelButton(nullptr);
        m_dialog.setValue(0);
    }

    void update(double done) override
    {
        if (done < 0)
            m_dialog.setRange(0, 0); // busy: the amount is not known
        else
            m_dialog.setValue(int(done * 1000));
        QApplication::processEvents();
    }

    bool cancelled() const override { return m_dialog.wasCanceled(); }

private:
    QProgressDialog m_dialog;
};

} // namespace

std::unique_ptr<Progress> DesktopPlatform::startProgress(const QString &label, bool cancellable)
{
    return std::make_unique<DialogProgress>(label, cancellable);
}

std::unique_ptr<Progress> HeadlessPlatform::startProgress(const QString &, bool)
{
    struct Silent : Progress
    {
        void update(double) override {}
        bool cancelled() const override { return false; }
    };
    return std::make_unique<Silent>();
}
