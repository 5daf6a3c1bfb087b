#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

/// What an export writes: it picks the save panel's filter and default suffix.
enum class ExportFormat { pdf, csv };

/// What the window needs from the desktop: file panels, the file manager and the recent-documents
/// list. Tests put a scripted one in its place.
class Platform
{
public:
    virtual ~Platform() = default;

    /// A file to open, chosen by the user, or nothing when cancelled. The panel starts in
    /// `folder` (empty: wherever the desktop starts it).
    virtual std::optional<QString> chooseFileToOpen(const QString &message,
                                                    const QString &folder) = 0;
    /// Where to save an export, or nothing when cancelled. `proposed` is a name or a whole path.
    virtual std::optional<QString> chooseExportDestination(const QString &proposed,
                                                           const QString &message,
                                                           ExportFormat format) = 0;
    /// Shows a file selected in the desktop's file manager, without waiting for it to answer.
    virtual void showInFileManager(const QString &path) = 0;
    /// Records a successfully opened file among the recent documents.
    virtual void noteRecentDocument(const QString &path) = 0;
    /// The recent documents, newest first.
    virtual QStringList recentDocuments() const = 0;
    virtual void clearRecentDocuments() = 0;
};
