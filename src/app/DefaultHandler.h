#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

/// Where default applications are kept: which file types the desktop knows, which application
/// opens each, and the asynchronous request to change that.
class TypeRegistry
{
public:
    virtual ~TypeRegistry() = default;
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

/// Modal alerts. show() returns the index of the button chosen (0 for the first).
class AlertPresenter
{
public:
    enum class Style { informational, warning };
    virtual ~AlertPresenter() = default;
    virtual int show(Style style, const QString &message, const QString &informative,
                     const QStringList &buttons) = 0;
};

/// The per-user flag that remembers the first-launch question.
class PreferenceStore
{
public:
    virtual ~PreferenceStore() = default;
    virtual bool flag(const QString &key) const = 0;
    virtual void setFlag(const QString &key, bool value) = 0;
    /// Opaque data kept between launches (the window's layout); empty when there is none.
    virtual QByteArray data(const QString &) const { return {}; }
    virtual void setData(const QString &, const QByteArray &) {}
};

/// Makes Kelvane the desktop's default application for its X12 file types.
namespace DefaultHandler {

/// The reverse-domain name of the application; every owned type identifier starts with it.
inline constexpr const char *applicationId = "io.github.kelvane.Kelvane";

/// The 22 file types Kelvane declares: the application id, a dot and a suffix. No plain text.
const std::vector<QString> &ownedTypeIdentifiers();

/// The MIME type that declares an owned type identifier ("application/x-kelvane-837").
QString mimeTypeFor(const QString &typeIdentifier);

bool isDefaultForAllTypes(const TypeRegistry &registry);

/// Registers every owned type. Returns at once; `completion` runs exactly once, later, on the
/// main thread, with the number of types claimed and one "type: reason" text per failure.
void makeDefault(TypeRegistry &registry,
                 std::function<void(int claimed, const QStringList &failed)> completion);

/// Registers and reports the outcome in an alert (the menu command).
void makeDefaultInteractively(TypeRegistry &registry, AlertPresenter &alerts);

/// Asks once per user, on the first launch, whether to become the default.
void promptOnFirstLaunchIfNeeded(TypeRegistry &registry, AlertPresenter &alerts,
                                 PreferenceStore &preferences);

} // namespace DefaultHandler
