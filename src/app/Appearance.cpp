#include "app/Appearance.h"

#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QStyle>

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString settingsInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString appearanceGroup = QStringLiteral("org.freedesktop.appearance");
const QString colorSchemeKey = QStringLiteral("color-scheme");

bool isDarkPalette(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightness() < 128;
}

} // namespace

Appearance::Appearance(QObject *parent)
    : QObject(parent), m_desktopPalette(QApplication::palette()),
      m_dark(isDarkPalette(m_desktopPalette))
{
}

void Appearance::setChoice(Choice choice)
{
    if (choice == m_choice)
        return;
    m_choice = choice;
    apply();
    emit changed();
}

void Appearance::setDesktopScheme(Scheme scheme)
{
    if (scheme == m_desktop)
        return;
    m_desktop = scheme;
    if (m_choice == Choice::system) {
        apply();
        emit changed();
    }
}

bool Appearance::isDark() const
{
    return m_dark;
}

void Appearance::apply()
{
    // The desktop's own palette where it is of the kind wanted (a platform theme's colours stay),
    // else the style's light one or Kelvane's dark one.
    bool dark = isDarkPalette(m_desktopPalette);
    if (m_choice == Choice::light || (m_choice == Choice::system && m_desktop == Scheme::light))
        dark = false;
    else if (m_choice == Choice::dark || (m_choice == Choice::system && m_desktop == Scheme::dark))
        dark = true;
    m_dark = dark;
    if (dark == isDarkPalette(m_desktopPalette))
        QApplication::setPalette(m_desktopPalette);
    else
        QApplication::setPalette(dark ? darkPalette() : QApplication::style()->standardPalette());
}

void Appearance::followDesktop()
{
    followDesktop(QDBusConnection::sessionBus());
}

void Appearance::followDesktop(const QDBusConnection &portalBus)
{
    QDBusConnection bus = portalBus;
    if (!bus.isConnected())
        return;
    bus.connect(portalService, portalPath, settingsInterface, QStringLiteral("SettingChanged"),
                this, SLOT(portalSettingChanged(QDBusMessage)));
    QDBusMessage read = QDBusMessage::createMethodCall(portalService, portalPath, settingsInterface,
                                                       QStringLiteral("Read"));
    read << appearanceGroup << colorSchemeKey;
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(read, 2000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher *answered) {
                answered->deleteLater();
                const QDBusMessage reply = answered->reply();
                if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
                    if (const auto scheme = schemeFromPortal(reply.arguments().constFirst()))
                        setDesktopScheme(*scheme);
            });
}

void Appearance::portalSettingChanged(const QDBusMessage &announcement)
{
    // SettingChanged(namespace, key, value)
    const QVariantList arguments = announcement.arguments();
    if (arguments.size() != 3 || arguments[0].toString() != appearanceGroup ||
        arguments[1].toString() != colorSchemeKey)
        return;
    if (const auto scheme = schemeFromPortal(arguments[2]))
        setDesktopScheme(*scheme);
}

std::optional<Appearance::Scheme> Appearance::schemeFromPortal(const QVariant &answer)
{
    // Read answers a variant holding the variant of the value; SettingChanged, the value's
    // variant. Unwrap as many as there are, a few at most.
    QVariant value = answer;
    for (int depth = 0; depth < 4; ++depth) {
        if (value.userType() == qMetaTypeId<QDBusVariant>())
            value = value.value<QDBusVariant>().variant();
        else if (value.userType() == qMetaTypeId<QDBusArgument>()) {
            const auto argument = value.value<QDBusArgument>();
            if (argument.currentType() != QDBusArgument::VariantType)
                return std::nullopt;
            value = qdbus_cast<QDBusVariant>(argument).variant();
        } else
            break;
    }
    if (value.userType() != QMetaType::UInt)
        return std::nullopt;
    const unsigned scheme = value.toUInt();
    return scheme <= 2 ? Scheme(scheme) : Scheme::noPreference; // a later value: as no preference
}

QPalette Appearance::darkPalette()
{
    QPalette p;
    p.setColor(QPalette::Window, QColor(0x2B, 0x2B, 0x2E));
    p.setColor(QPalette::WindowText, QColor(0xEC, 0xEC, 0xEC));
    p.setColor(QPalette::Base, QColor(0x1E, 0x1E, 0x20));
    p.setColor(QPalette::AlternateBase, QColor(0x26, 0x26, 0x29));
    p.setColor(QPalette::ToolTipBase, QColor(0x3A, 0x3A, 0x3D));
    p.setColor(QPalette::ToolTipText, QColor(0xEC, 0xEC, 0xEC));
    p.setColor(QPalette::Text, QColor(0xEC, 0xEC, 0xEC));
    p.setColor(QPalette::Button, QColor(0x3A, 0x3A, 0x3D));
    p.setColor(QPalette::ButtonText, QColor(0xEC, 0xEC, 0xEC));
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::Highlight, QColor(0x0A, 0x84, 0xFF));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(0x4D, 0xA3, 0xFF));
    p.setColor(QPalette::LinkVisited, QColor(0xB3, 0x8C, 0xFF));
    // A placeholder as light as secondary text: a hint that reads at a glance, not a shadow.
    p.setColor(QPalette::PlaceholderText, QColor(0xA8, 0xA8, 0xAE));
    p.setColor(QPalette::Mid, QColor(0x55, 0x55, 0x5A));
    p.setColor(QPalette::Light, QColor(0x5A, 0x5A, 0x5F));
    p.setColor(QPalette::Midlight, QColor(0x48, 0x48, 0x4C));
    p.setColor(QPalette::Dark, QColor(0x18, 0x18, 0x1A));
    p.setColor(QPalette::Shadow, QColor(0x00, 0x00, 0x00));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, QColor(0x6E, 0x6E, 0x73));
    return p;
}
