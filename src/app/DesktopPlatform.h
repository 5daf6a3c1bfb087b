#pragma once

#include "app/Platform.h"

/// The real desktop: Qt's file dialogs, the freedesktop file manager interface and the
/// freedesktop recent-documents list.
class DesktopPlatform : public Platform
{
public:
    std::optional<QString> chooseFileToOpen(const QString &message, const QString &folder) override;
    std::optional<QString> chooseExportDestination(const QString &proposed, const QString &message,
                                                   ExportFormat format) override;
    void showInFileManager(const QString &path) override;
    void noteRecentDocument(const QString &path) override;
    QStringList recentDocuments() const override;
    void clearRecentDocuments() override;
};
