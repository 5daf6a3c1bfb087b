#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

/// A progress indicator for long work. It appears only when the work takes more than about half
/// a second.
class Progress
{
public:
    virtual ~Progress() = default;
    /// How much is done, from 0 to 1, or below 0 when that is not known.
    virtual void update(double done) = 0;
    /// Whether the user asked to stop.
    virtual bool cancelled() const = 0;
};

/// What the window needs from the desktop: file panels, the file manager and the recent-documents
/// list. Tests put a scripted one in its place.
class Platform
{
public:
    virtual ~Platform() = default;

    /// A file to open, chosen by the user, or nothing when cancelled.
    virtual std::optional<QString> chooseFileToOpen(const QString &message) = 0;
    /// Where to save a PDF, or nothing when cancelled.
    virtual std::optional<QString> chooseExportDestination(const QString &proposedName,
                                                           const QString &message) = 0;
    /// Shows a file selected in the desktop's file manager.
    virtual void showInFileManager(const QString &path) = 0;
    /// Records a successfully opened file among the recent documents.
    virtual void noteRecentDocument(const QString &path) = 0;
    /// The recent documents, newest first.
    virtual QStringList recentDocuments() const = 0;
    virtual void clearRecentDocuments() = 0;
    /// Starts showing progress; it ends when the returned object is destroyed.
    virtual std::unique_ptr<Progress> startProgress(const QString &label, bool cancellable) = 0;
};

/// The real desktop: Qt's file dialogs, the freedesktop file manager interface and the
/// freedesktop recent-documents list.
class DesktopPlatform : public Platform
{
public:
    std::optional<QString> chooseFileToOpen(const QString &message) override;
    std::optional<QString> chooseExportDestination(const QString &proposedName,
                                                   const QString &message) override;
    void showInFileManager(const QString &path) override;
    void noteRecentDocument(const QString &path) override;
    QStringList recentDocuments() const override;
    void clearRecentDocuments() override;
    std::unique_ptr<Progress> startProgress(const QString &label, bool cancellable) override;
};

/// A desktop with nobody at it: panels are cancelled, nothing is shown or recorded and progress
/// is silent. For tools that run the window headless (screenshots, benchmarks).
class HeadlessPlatform : public Platform
{
public:
    std::optional<QString> chooseFileToOpen(const QString &) override { return std::nullopt; }
    std::optional<QString> chooseExportDestination(const QString &, const QString &) override
    {
        return std::nullopt;
    }
    void showInFileManager(const QString &) override {}
    void noteRecentDocument(const QString &) override {}
    QStringList recentDocuments() const override { return {}; }
    void clearRecentDocuments() override {}
    std::unique_ptr<Progress> startProgress(const QString &label, bool cancellable) override;
};
