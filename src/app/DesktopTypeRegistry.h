#pragma once

#include "app/TypeRegistry.h"

#include <QString>

#include <functional>
#include <optional>

/// The freedesktop registry: MIME types from shared-mime-info, defaults in mimeapps.list.
class DesktopTypeRegistry : public TypeRegistry
{
public:
    /// Its desktop entry is where the desktop looks for applications.
    bool isInstalled() const override;
    bool knows(const QString &typeIdentifier) const override;
    std::optional<QString> defaultApplication(const QString &typeIdentifier) const override;
    QString thisApplication() const override;
    void setDefault(const QString &typeIdentifier,
                    std::function<void(std::optional<QString> error)> done) override;

    /// The user's mimeapps.list: $XDG_CONFIG_HOME, else ~/.config.
    static QString userMimeAppsList();
    /// The text of a mimeapps.list with `desktopId` as the default for `mimeType`; every other
    /// line stays as it was.
    static QString withDefault(const QString &contents, const QString &mimeType,
                               const QString &desktopId);
    /// The first default application for `mimeType` in a mimeapps.list text, or nothing.
    static std::optional<QString> defaultIn(const QString &contents, const QString &mimeType);
};
