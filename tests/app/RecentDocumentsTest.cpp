#include "app/RecentDocuments.h"
#include "common/ScopedEnvironment.h"

#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace {

TEST(RecentDocumentsTest, KeepsOtherApplicationsEntries)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    ScopedEnvironment environment;
    environment.set("XDG_DATA_HOME", home.path().toUtf8().constData());
    const QString list = home.path() + QStringLiteral("/recently-used.xbel");
    QFile file(list);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"(<?xml version="1.0" encoding="UTF-8"?>
<xbel version="1.0" xmlns:bookmark="http://www.freedesktop.org/standards/desktop-bookmarks" xmlns:mime="http://www.freedesktop.org/standards/shared-mime-info">
  <bookmark href="file:///tmp/other.txt" added="2026-01-01T00:00:00Z" modified="2026-01-01T00:00:00Z" visited="2026-01-01T00:00:00Z">
    <info><metadata owner="http://freedesktop.org"><mime:mime-type type="text/plain"/>
      <bookmark:applications><bookmark:application name="gedit" exec="'gedit %u'" modified="2026-01-01T00:00:00Z" count="3"/></bookmark:applications>
    </metadata></info>
  </bookmark>
</xbel>
)");
    file.close();
    EXPECT_EQ(RecentDocuments::listPath(), list);

    ASSERT_TRUE(RecentDocuments::note(QStringLiteral("/tmp/a.837"),
                                      QStringLiteral("application/x-kelvane-837")));
    QThread::msleep(5);
    ASSERT_TRUE(
        RecentDocuments::note(QStringLiteral("/tmp/other.txt"), QStringLiteral("text/plain")));
    QThread::msleep(5);
    ASSERT_TRUE(RecentDocuments::note(QStringLiteral("/tmp/a.837"),
                                      QStringLiteral("application/x-kelvane-837")));
    EXPECT_EQ(RecentDocuments::opened(), (QStringList{"/tmp/a.837", "/tmp/other.txt"}));

    ASSERT_TRUE(RecentDocuments::clear());
    EXPECT_TRUE(RecentDocuments::opened().isEmpty());
    QFile after(list);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(after.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("name=\"gedit\""))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("file:///tmp/other.txt")));
    EXPECT_FALSE(text.contains(QStringLiteral("a.837")));
}

TEST(RecentDocumentsTest, UnparsableListIsLeftAsItIs)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    ScopedEnvironment environment;
    environment.set("XDG_DATA_HOME", home.path().toUtf8().constData());
    // Cut off in the middle of another application's bookmark, as a crashed writer leaves it.
    const QByteArray truncated = R"(<?xml version="1.0" encoding="UTF-8"?>
<xbel version="1.0" xmlns:bookmark="http://www.freedesktop.org/standards/desktop-bookmarks">
  <bookmark href="file:///tmp/other.txt" added="2026-01-01T00:00:00Z">
    <info><metadata owner="http://freedesktop.org">
      <bookmark:applications><bookmark:application name="gedit" exec="'ged)";
    QFile file(RecentDocuments::listPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(truncated);
    file.close();

    static QStringList warnings;
    warnings.clear();
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
            if (type == QtWarningMsg)
                warnings << text;
        });
    EXPECT_FALSE(RecentDocuments::note(QStringLiteral("/tmp/a.837"),
                                       QStringLiteral("application/x-kelvane-837")));
    EXPECT_FALSE(RecentDocuments::clear());
    EXPECT_TRUE(RecentDocuments::opened().isEmpty());
    qInstallMessageHandler(previous);

    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), truncated.toStdString()); // byte for byte
    // Said once, not on every look at the menu, with where the parser stopped.
    ASSERT_EQ(warnings.size(), 1) << warnings.join(u'\n').toStdString();
    EXPECT_TRUE(warnings.front().contains(RecentDocuments::listPath()));
    EXPECT_TRUE(warnings.front().contains(QStringLiteral("line 5")))
        << warnings.front().toStdString();
}

} // namespace
