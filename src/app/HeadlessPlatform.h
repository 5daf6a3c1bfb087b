#pragma once

#include "app/AlertPresenter.h"
#include "app/Platform.h"

/// A desktop with nobody at it: panels are cancelled, alerts closed without an answer, and
/// nothing is shown or recorded. For tools that run the window headless (screenshots,
/// benchmarks).
class HeadlessPlatform : public Platform, public AlertPresenter
{
public:
    int show(Style, const QString &, const QString &, const QStringList &) override { return -1; }
    std::optional<QString> chooseFileToOpen(const QString &, const QString &) override
    {
        return std::nullopt;
    }
    std::optional<QString> chooseExportDestination(const QString &, const QString &,
                                                   ExportFormat) override
    {
        return std::nullopt;
    }
    void showInFileManager(const QString &) override {}
    void noteRecentDocument(const QString &) override {}
    QStringList recentDocuments() const override { return {}; }
    void clearRecentDocuments() override {}
};
