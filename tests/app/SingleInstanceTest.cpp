#include "app/AppTestSupport.h"
#include "app/DefaultHandler.h"
#include "app/KelvaneApp.h"
#include "app/WindowSession.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstring>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace app_testing;

namespace {

/// Bytes as the running instance reads them: `values` written one after the other.
template <typename... Values>
QByteArray encoded(const Values &...values)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream.setVersion(QDataStream::Qt_6_0);
    (stream << ... << values);
    return bytes;
}

/// What lstat() says of `path`; zeros when there is nothing there.
struct stat statusOf(const QString &path)
{
    struct stat info = {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        info = {};
    return info;
}

/// Every test gets a runtime folder of its own, so no test meets the user's running instance.
class SingleInstanceTest : public AppTest
{
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        ASSERT_TRUE(m_runtime.isValid());
        m_environment.set("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()).constData());
        m_environment.set("WAYLAND_DISPLAY", nullptr);
        m_environment.set("DISPLAY", ":7");
    }

    /// Starts listening, and records each file the session is asked to open.
    void listen(KelvaneApp &app)
    {
        ASSERT_TRUE(app.listenForLaunches());
        app.delegate().connectSession(app.session());
        // Each request starts an open; the latest one's result is what stays on screen.
        QObject::connect(&app.session(), &WindowSession::loadingChanged, &app, [this, &app] {
            if (const auto &file = app.session().loadingFile())
                m_opened << *file;
        });
    }

    bool openedCount(qsizetype count)
    {
        return QTest::qWaitFor([&] { return m_opened.size() >= count; }, 2000) &&
               m_opened.size() == count;
    }

    QTemporaryDir m_runtime;
    QuietDesktop m_desktop;
    QStringList m_opened;
};

TEST_F(SingleInstanceTest, OneSocketPerUserAndDisplay)
{
    const QString folder = m_runtime.path() + u'/';
    const auto pathOn = [this](const char *wayland, const char *display) {
        m_environment.set("WAYLAND_DISPLAY", wayland);
        m_environment.set("DISPLAY", display);
        return KelvaneApp::socketPath();
    };
    const QString x0 = pathOn(nullptr, ":0");
    const QStringList paths{x0, pathOn(nullptr, ":1"), pathOn("wayland-0", ":0"),
                            pathOn(nullptr, nullptr)};
    EXPECT_EQ(QSet<QString>(paths.begin(), paths.end()).size(), 4)
        << paths.join(u' ').toStdString();
    EXPECT_EQ(pathOn(nullptr, ":0"), x0);
    const QString ours = folder + QStringLiteral("kelvane-%1-").arg(::getuid());
    for (const QString &path : paths)
        EXPECT_TRUE(path.startsWith(ours)) << path.toStdString();

    // Whatever the display is called, the socket is a plain name inside the folder, short
    // enough to bind, and long names that differ only at the end stay apart.
    const QByteArray longName = "wayland-" + QByteArray(300, 'w');
    QStringList hostile;
    for (const QByteArray &display :
         {QByteArray("../../x"), QByteArray("/etc/passwd"), QByteArray(".."),
          QByteArray("a/../../b\n:0"), QByteArray("\xc3\xa9\xe2\x80\x8f"), longName + '1',
          longName + '2'}) {
        SCOPED_TRACE(display.toStdString());
        const QString path = pathOn(display.constData(), nullptr);
        ASSERT_TRUE(path.startsWith(folder));
        const QString name = path.mid(folder.size());
        EXPECT_TRUE(
            QRegularExpression(QStringLiteral("^kelvane-[A-Za-z0-9._-]+$")).match(name).hasMatch())
            << name.toStdString();
        EXPECT_LE(name.size(), 64);
        hostile << path;
    }
    EXPECT_NE(hostile.back(), hostile[hostile.size() - 2]);
}

TEST_F(SingleInstanceTest, UnsafeRuntimeFolderFallsBackToAPrivateFolder)
{
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    m_environment.set("TMPDIR", QFile::encodeName(temp.path()).constData());
    const QString fallback =
        QDir(temp.path()).canonicalPath() + QStringLiteral("/kelvane-runtime-%1").arg(::getuid());

    QTemporaryDir worldWritable;
    QTemporaryDir groupWritable;
    ASSERT_EQ(::chmod(QFile::encodeName(worldWritable.path()).constData(), 0777), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(groupWritable.path()).constData(), 0770), 0);
    const QString file = write("not-a-folder", "");
    struct Case
    {
        const char *name;
        QString folder;
    };
    for (const Case &c : {Case{"Unset", {}}, Case{"Relative", QStringLiteral("run/user/1")},
                          Case{"Missing", m_runtime.path() + QStringLiteral("/gone")},
                          Case{"File", file}, Case{"WorldWritable", worldWritable.path()},
                          Case{"GroupWritable", groupWritable.path()}}) {
        SCOPED_TRACE(c.name);
        m_environment.set("XDG_RUNTIME_DIR",
                          c.folder.isNull() ? nullptr : QFile::encodeName(c.folder).constData());
        EXPECT_EQ(QFileInfo(KelvaneApp::socketPath()).path(), fallback);
        EXPECT_EQ(statusOf(fallback).st_mode, mode_t(S_IFDIR | 0700));
    }

    // A folder that is there already and could be someone else's is refused: then no launch
    // hands over or listens.
    ASSERT_EQ(::chmod(QFile::encodeName(fallback).constData(), 0755), 0);
    EXPECT_EQ(KelvaneApp::socketPath(), QString());
    ASSERT_TRUE(QDir().rmdir(fallback));
    ASSERT_TRUE(QFile::link(m_runtime.path(), fallback));
    EXPECT_EQ(KelvaneApp::socketPath(), QString());
    EXPECT_FALSE(KelvaneApp::handToRunningInstance({QStringLiteral("a.x12")}));
    KelvaneApp app(m_platform, m_desktop, m_desktop, m_desktop);
    EXPECT_FALSE(app.listenForLaunches());
}

TEST_F(SingleInstanceTest, RequestsArriveWholeAndEachOnce)
{
    KelvaneApp app(m_platform, m_desktop, m_desktop, m_desktop);
    listen(app);
    QLocalSocket client;
    client.connectToServer(KelvaneApp::socketPath());
    ASSERT_TRUE(client.waitForConnected(1000));

    // Split in the middle of the path, with the first half read before the rest is sent.
    const QByteArray first = encoded(QStringList{"/data/first.x12"});
    client.write(first.left(first.size() / 2));
    client.flush();
    QTest::qWait(20);
    EXPECT_TRUE(m_opened.isEmpty());
    client.write(first.mid(first.size() / 2));
    client.flush();
    ASSERT_TRUE(openedCount(1));

    // Two more requests on the connection, in one write: each is delivered, and of each only
    // the first path opens.
    client.write(encoded(QStringList{"/data/second.x12", "/data/ignored.x12"}) +
                 encoded(QStringList{"/data/third.x12"}));
    client.flush();
    ASSERT_TRUE(openedCount(3));

    // A second launch on this display hands over its file, made absolute; one on another
    // display finds nobody and opens its own window.
    EXPECT_TRUE(KelvaneApp::handToRunningInstance({QStringLiteral("relative.x12")}));
    ASSERT_TRUE(openedCount(4));
    m_environment.set("DISPLAY", ":8");
    EXPECT_FALSE(KelvaneApp::handToRunningInstance({QStringLiteral("other.x12")}));

    EXPECT_EQ(m_opened,
              (QStringList{"/data/first.x12", "/data/second.x12", "/data/third.x12",
                           QDir::current().absoluteFilePath(QStringLiteral("relative.x12"))}));
}

TEST_F(SingleInstanceTest, ClientsThatAreNoLaunchAreDropped)
{
    KelvaneApp app(m_platform, m_desktop, m_desktop, m_desktop);
    listen(app);
    struct Case
    {
        const char *name;
        QByteArray bytes;
    };
    const QByteArray flood(KelvaneApp::maxRequestBytes + 65536, '\0');
    for (const Case &c : {
             Case{"FourBillionPaths", encoded(quint32(0xffffffff))},
             Case{"PathClaimingTwoGigabytes",
                  encoded(QStringList{"/data/before.x12"}, quint32(1), quint32(0x7ffffff0)) +
                      flood},
             Case{"OddLengthPath", encoded(quint32(1), quint32(3)) + "abc"},
         }) {
        SCOPED_TRACE(c.name);
        QLocalSocket client;
        client.connectToServer(KelvaneApp::socketPath());
        ASSERT_TRUE(client.waitForConnected(1000));
        client.write(c.bytes);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return client.state() == QLocalSocket::UnconnectedState; }, 5000));
    }

    // The whole request before the flood counted, and the instance still takes launches.
    EXPECT_TRUE(KelvaneApp::handToRunningInstance({QStringLiteral("/data/after.x12")}));
    ASSERT_TRUE(openedCount(2));
    EXPECT_EQ(m_opened, (QStringList{"/data/before.x12", "/data/after.x12"}));
}

TEST_F(SingleInstanceTest, TakesOverOnlyASocketNobodyAnswers)
{
    const QString path = KelvaneApp::socketPath();
    {
        // What a killed instance leaves: a bound socket file with nobody listening.
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_GE(fd, 0);
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        ASSERT_LT(std::size_t(name.size()), sizeof address.sun_path);
        std::memcpy(address.sun_path, name.constData(), std::size_t(name.size()));
        ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
        ::close(fd);
    }
    {
        KelvaneApp app(m_platform, m_desktop, m_desktop, m_desktop);
        listen(app);
        EXPECT_TRUE(KelvaneApp::handToRunningInstance({QStringLiteral("/data/a.x12")}));
        ASSERT_TRUE(openedCount(1));
    }

    // An instance that started at the same moment and listens keeps its socket.
    QLocalServer running;
    ASSERT_TRUE(running.listen(path));
    const ino_t before = statusOf(path).st_ino;
    KelvaneApp late(m_platform, m_desktop, m_desktop, m_desktop);
    EXPECT_FALSE(late.listenForLaunches());
    EXPECT_TRUE(running.isListening());
    EXPECT_EQ(statusOf(path).st_ino, before);
}

} // namespace
