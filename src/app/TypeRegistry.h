#pragma once

#include <QString>

#include <functional>
#include <optional>

/// Where default applications are kept: which file types the desktop knows, which application
/// opens each, and the asynchronous request to change that.
class TypeRegistry
{
public:
    virtual ~TypeRegistry() = default;
    /// Whether the desktop knows this application, so that it can open files with it: false for
    /// a copy that runs from where it was built.
    virtual bool isInstalled() const = 0;
    virtual bool knows(const QString &typeIdentifier) const = 0;
    /// The application that opens the type now, or nothing.
    virtual std::optional<QString> defaultApplication(const QString &typeIdentifier) const = 0;
    /// This application, as the registry names it.
    virtual QString thisApplication() const = 0;
    /// Asks to make this application the default for the type. Returns at once; `done` is called
    /// once later, on any thread, with an error description or nothing.
    virtual void setDefault(const QString &typeIdentifier,
                            std::function<void(std::optional<QString> error)> done) = 0;
};
