#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class AlertPresenter;
class PreferenceStore;
class TypeRegistry;

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

/// Registers and reports the outcome in an alert (the menu command); a copy the desktop does not
/// know as installed says that it must be installed first.
void makeDefaultInteractively(TypeRegistry &registry, AlertPresenter &alerts);

/// Asks once per user, on the first launch of an installed copy, whether to become the default.
void promptOnFirstLaunchIfNeeded(TypeRegistry &registry, AlertPresenter &alerts,
                                 PreferenceStore &preferences);

} // namespace DefaultHandler
