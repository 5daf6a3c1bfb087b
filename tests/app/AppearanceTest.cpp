#include "app/AppTestSupport.h"
#include "app/Appearance.h"
#include "app/DocumentSummaryView.h"
#include "app/KelvaneApp.h"
#include "app/MainWindow.h"
#include "app/OutlineView.h"
#include "app/WindowMenus.h"
#include "app/WindowSession.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QDeadlineTimer>
#include <QLabel>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <functional>

using namespace app_testing;

namespace {

/// The desktop's settings portal, as far as the colour scheme goes.
class FakePortal : public QDBusVirtualObject
{
public:
    unsigned scheme = 1; // dark

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (message.member() != QLatin1String("Read"))
            return false;
        // As the portal answers Read: the value's variant inside a variant.
        const QVariant value = QVariant::fromValue(QDBusVariant(QVariant::fromValue(scheme)));
        connection.send(message.createReply(QVariant::fromValue(QDBusVariant(value))));
        return true;
    }
    QString introspect(const QString &) const override { return {}; }

    /// Announces a new scheme as the portal does, to everyone on the bus.
    void announce(QDBusConnection &bus, unsigned next)
    {
        scheme = next;
        QDBusMessage signal = QDBusMessage::createSignal(
            QStringLiteral("/org/freedesktop/portal/desktop"),
            QStringLiteral("org.freedesktop.portal.Settings"), QStringLiteral("SettingChanged"));
        signal << QStringLiteral("org.freedesktop.appearance") << QStringLiteral("color-scheme")
               << QVariant::fromValue(QDBusVariant(QVariant::fromValue(next)));
        bus.send(signal);
    }
};

bool waitFor(const std::function<bool()> &done)
{
    QDeadlineTimer deadline(10'000);
    while (!done() && !deadline.hasExpired())
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

bool looksDark(const QColor &colour)
{
    return colour.lightness() < 128;
}

using AppearanceTest = AppTest;

TEST_F(AppearanceTest, FollowsTheDesktopsSchemeOverDBusAndTheWindowRepaints)
{
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty())
        GTEST_SKIP() << "dbus-daemon is not installed";
    QProcess bus;
    bus.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                       QStringLiteral("--print-address")});
    ASSERT_TRUE(bus.waitForReadyRead(10'000));
    const QString address = QString::fromUtf8(bus.readLine()).trimmed();
    const auto stop = qScopeGuard([&bus] {
        QDBusConnection::disconnectFromBus(QStringLiteral("portal"));
        QDBusConnection::disconnectFromBus(QStringLiteral("kelvane"));
        bus.kill();
        bus.waitForFinished();
    });
    QDBusConnection portalBus = QDBusConnection::connectToBus(address, QStringLiteral("portal"));
    FakePortal portal;
    ASSERT_TRUE(portalBus.registerVirtualObject(QStringLiteral("/org/freedesktop/portal/desktop"),
                                                &portal));
    ASSERT_TRUE(portalBus.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));

    const QPalette before = QApplication::palette();
    const auto restore = qScopeGuard([&before] { QApplication::setPalette(before); });
    WindowSession session(m_platform);
    MainWindow window(session);
    window.show();
    openAndWait(session, write("claim.x12", claim));
    Appearance appearance;
    ASSERT_FALSE(appearance.isDark());
    appearance.followDesktop(QDBusConnection::connectToBus(address, QStringLiteral("kelvane")));

    // The desktop prefers dark: the window turns dark, its own colours with it.
    ASSERT_TRUE(waitFor([&] { return appearance.isDark(); }));
    EXPECT_EQ(appearance.desktopScheme(), Appearance::Scheme::dark);
    const auto windowIsDark = [&window](bool dark) {
        QApplication::processEvents();
        const QWidget *summary = window.outline()->findChild<DocumentSummaryView *>()->widget();
        return looksDark(window.palette().color(QPalette::Window)) == dark &&
               looksDark(summary->palette().color(QPalette::Window)) == dark &&
               looksDark(window.matchCount()->palette().color(QPalette::WindowText)) == !dark;
    };
    EXPECT_TRUE(windowIsDark(true));
    const QAbstractButton *active = window.modeButtons()->checkedButton();
    const QAbstractButton *other = window.modeButtons()->button(2);
    EXPECT_NE(active->palette().color(QPalette::Button), other->palette().color(QPalette::Button));

    // It changes its mind while Kelvane runs; the user's own choice then wins over it.
    portal.announce(portalBus, 2);
    ASSERT_TRUE(waitFor([&] { return !appearance.isDark(); }));
    EXPECT_TRUE(windowIsDark(false));
    appearance.setChoice(Appearance::Choice::dark);
    EXPECT_TRUE(windowIsDark(true));
    portal.announce(portalBus, 0); // no preference: the desktop's own palette, light here
    appearance.setChoice(Appearance::Choice::system);
    ASSERT_TRUE(
        waitFor([&] { return appearance.desktopScheme() == Appearance::Scheme::noPreference; }));
    EXPECT_FALSE(appearance.isDark());
    EXPECT_TRUE(windowIsDark(false));
}

TEST_F(AppearanceTest, TheMenuChoiceIsRememberedAcrossRuns)
{
    const QPalette before = QApplication::palette();
    const auto restore = qScopeGuard([&before] { QApplication::setPalette(before); });
    QuietDesktop desktop;
    {
        KelvaneApp app(m_platform, desktop, desktop, desktop);
        app.showWindow();
        const QList<QAction *> &items = app.window().menus()->appearanceItems();
        EXPECT_TRUE(items[0]->isChecked()); // System, at first
        items[2]->trigger();                // Dark
        EXPECT_TRUE(app.appearance().isDark());
    }
    QApplication::setPalette(before); // the desktop's, as a new run finds it
    KelvaneApp app(m_platform, desktop, desktop, desktop);
    app.showWindow();
    const QList<QAction *> &items = app.window().menus()->appearanceItems();
    EXPECT_TRUE(items[2]->isChecked());
    EXPECT_TRUE(app.appearance().isDark());
    items[1]->trigger(); // Light
    EXPECT_FALSE(app.appearance().isDark());
    EXPECT_EQ(desktop.stored[QStringLiteral("window/appearance")], "light");
}

} // namespace
