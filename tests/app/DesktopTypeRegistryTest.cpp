#include "app/DefaultHandler.h"
#include "app/DesktopTypeRegistry.h"
#include "common/ScopedEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <mutex>
#include <optional>

namespace {

TEST(DesktopTypeRegistryTest, MimeAppsListKeepsEverythingElse)
{
    const QString before = QStringLiteral("# mine\n"
                                          "[Added Associations]\n"
                                          "text/plain=gedit.desktop;\n"
                                          "\n"
                                          "[Default Applications]\n"
                                          "image/png=eog.desktop;\n"
                                          "application/x-kelvane-837=other.desktop;\n"
                                          "\n"
                                          "[Removed Associations]\n"
                                          "text/html=firefox.desktop;\n");
    const QString replaced = DesktopTypeRegistry::withDefault(
        before, QStringLiteral("application/x-kelvane-837"), QStringLiteral("k.desktop"));
    EXPECT_EQ(replaced, QString(before).replace(QStringLiteral("other.desktop"),
                                                QStringLiteral("k.desktop")));
    const QString added = DesktopTypeRegistry::withDefault(
        before, QStringLiteral("application/x-kelvane-835"), QStringLiteral("k.desktop"));
    EXPECT_EQ(added, QString(before).replace(
                         QStringLiteral("other.desktop;\n"),
                         QStringLiteral("other.desktop;\napplication/x-kelvane-835=k.desktop;\n")));
    EXPECT_EQ(
        DesktopTypeRegistry::withDefault({}, QStringLiteral("a/b"), QStringLiteral("k.desktop")),
        QStringLiteral("[Default Applications]\na/b=k.desktop;\n"));
    EXPECT_EQ(DesktopTypeRegistry::defaultIn(added, QStringLiteral("application/x-kelvane-835")),
              QStringLiteral("k.desktop"));
    EXPECT_EQ(DesktopTypeRegistry::defaultIn(added, QStringLiteral("text/plain")), std::nullopt);
}

TEST(DesktopTypeRegistryTest, WritesTheUsersListAndReportsFailures)
{
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    ScopedEnvironment environment;
    environment.set("XDG_CONFIG_HOME", config.path().toUtf8().constData());
    const QString list = config.path() + QStringLiteral("/mimeapps.list");
    QFile file(list);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Default Applications]\ntext/plain=gedit.desktop;\n");
    file.close();

    DesktopTypeRegistry registry;
    const QString type = DefaultHandler::ownedTypeIdentifiers()[9]; // .834
    // The answer to one request, which comes on another thread.
    std::optional<std::optional<QString>> answer;
    std::mutex lock;
    const auto request = [&] {
        answer.reset();
        registry.setDefault(type, [&](std::optional<QString> error) {
            std::lock_guard guard(lock);
            answer = error;
        });
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                std::lock_guard guard(lock);
                return answer.has_value();
            },
            2000));
        std::lock_guard guard(lock);
        return answer.value_or(QStringLiteral("no answer"));
    };
    EXPECT_EQ(request(), std::nullopt);
    EXPECT_EQ(registry.defaultApplication(type),
              QStringLiteral("io.github.kelvane.Kelvane.desktop"));
    QFile written(list);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(written.readAll()),
              QStringLiteral("[Default Applications]\ntext/plain=gedit.desktop;\n"
                             "application/x-kelvane-834=io.github.kelvane.Kelvane.desktop;\n"));

    // A list that cannot be replaced is a failure for the type, never a success.
    QFile::remove(list);
    QDir().mkpath(list);
    EXPECT_NE(request(), std::nullopt);
}

} // namespace
