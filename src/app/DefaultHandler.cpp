#include "app/DefaultHandler.h"

#include "app/AlertPresenter.h"
#include "app/PreferenceStore.h"
#include "app/TypeRegistry.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>

namespace {

constexpr const char *preferenceKey = "didPromptForDefaultHandler";

/// The answers of one registration run, written from the registry's threads.
struct Results
{
    std::mutex lock;
    int claimed = 0;
    QStringList failed;
    // The loop itself holds one count until it is done, so the report cannot come early.
    std::atomic<int> outstanding{1};
    std::function<void(int, const QStringList &)> completion;

    void record(const QString &identifier, const std::optional<QString> &error)
    {
        std::lock_guard guard(lock);
        if (error)
            failed << identifier + QStringLiteral(": ") + *error;
        else
            ++claimed;
    }

    /// Called once per request and once by the loop; the last one reports on the main thread.
    static void leave(const std::shared_ptr<Results> &results)
    {
        if (results->outstanding.fetch_sub(1) != 1)
            return;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [results] { results->completion(results->claimed, results->failed); },
            Qt::QueuedConnection);
    }
};

/// Whether the desktop knows this application and at least one of its types.
bool canBecomeDefault(const TypeRegistry &registry)
{
    return registry.isInstalled() &&
           std::ranges::any_of(DefaultHandler::ownedTypeIdentifiers(),
                               [&registry](const QString &type) { return registry.knows(type); });
}

void report(AlertPresenter &alerts, int claimed, const QStringList &failed, bool quietOnSuccess)
{
    const int total = int(DefaultHandler::ownedTypeIdentifiers().size());
    if (!failed.isEmpty()) {
        alerts.show(AlertPresenter::Style::warning,
                    QStringLiteral("Set %1 of %2 file types.").arg(claimed).arg(total),
                    failed.mid(0, 5).join(u'\n'), {});
        return;
    }
    if (!quietOnSuccess)
        alerts.show(AlertPresenter::Style::informational,
                    QStringLiteral("Kelvane now opens all %1 X12 file types.").arg(claimed), {},
                    {});
}

} // namespace

namespace DefaultHandler {

const std::vector<QString> &ownedTypeIdentifiers()
{
    static const std::vector<QString> identifiers = [] {
        std::vector<QString> list;
        for (const char *suffix :
             {"edi", "x12", "837", "837p", "837i", "837d", "x12i", "x12o", "835", "834", "270",
              "271", "276", "277", "278",  "820",  "824",  "850",  "856",  "810", "997", "999"})
            list.push_back(QString::fromLatin1(applicationId) + u'.' + QString::fromLatin1(suffix));
        return list;
    }();
    return identifiers;
}

QString mimeTypeFor(const QString &typeIdentifier)
{
    return QStringLiteral("application/x-kelvane-") +
           typeIdentifier.mid(typeIdentifier.lastIndexOf(u'.') + 1);
}

bool isDefaultForAllTypes(const TypeRegistry &registry)
{
    const QString self = registry.thisApplication();
    for (const QString &identifier : ownedTypeIdentifiers()) {
        // A type the desktop does not know cannot be claimed, and so does not count against us.
        if (!registry.knows(identifier))
            continue;
        if (registry.defaultApplication(identifier) != self)
            return false;
    }
    return true;
}

void makeDefault(TypeRegistry &registry,
                 std::function<void(int claimed, const QStringList &failed)> completion)
{
    auto results = std::make_shared<Results>();
    results->completion = std::move(completion);
    const QString unknown = QStringLiteral("the desktop does not know this file type");
    for (const QString &identifier : ownedTypeIdentifiers()) {
        if (!registry.knows(identifier)) {
            results->record(identifier, unknown);
            continue;
        }
        results->outstanding.fetch_add(1);
        registry.setDefault(identifier, [results, identifier](std::optional<QString> error) {
            results->record(identifier, error);
            Results::leave(results);
        });
    }
    Results::leave(results);
}

void makeDefaultInteractively(TypeRegistry &registry, AlertPresenter &alerts)
{
    // A copy run from where it was built has no desktop entry and no file types to claim.
    if (!canBecomeDefault(registry)) {
        alerts.show(AlertPresenter::Style::warning,
                    QStringLiteral("Kelvane must be installed to open X12 files by default."),
                    QStringLiteral("The desktop does not know this copy of Kelvane or its X12 "
                                   "file types. Install Kelvane (its package, or \u201Ccmake "
                                   "--install\u201D), then choose Make Default App for X12 Files "
                                   "again."),
                    {});
        return;
    }
    makeDefault(registry, [&alerts](int claimed, const QStringList &failed) {
        report(alerts, claimed, failed, false);
    });
}

void promptOnFirstLaunchIfNeeded(TypeRegistry &registry, AlertPresenter &alerts,
                                 PreferenceStore &preferences)
{
    const QString key = QString::fromLatin1(preferenceKey);
    // Not installed yet: the question waits for the first launch of the installed copy.
    if (preferences.flag(key) || !canBecomeDefault(registry))
        return;
    // Set first, so the question comes at most once, whatever happens next.
    preferences.setFlag(key, true);
    if (isDefaultForAllTypes(registry))
        return;
    const int answer = alerts.show(
        AlertPresenter::Style::informational, QStringLiteral("Open X12 files with Kelvane?"),
        QStringLiteral("Sets Kelvane as the default app for .edi, .x12, .837, .835, .834, .270, "
                       ".271, .276, .277, .999 and related files. Plain .txt files are left "
                       "unchanged. You can change this later from the Kelvane menu."),
        {QStringLiteral("Set as Default"), QStringLiteral("Not Now")});
    if (answer != 0)
        return;
    makeDefault(registry, [&alerts](int claimed, const QStringList &failed) {
        report(alerts, claimed, failed, true);
    });
}

} // namespace DefaultHandler
