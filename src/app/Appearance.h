#pragma once

#include <QObject>
#include <QPalette>

#include <optional>

class QDBusConnection;
class QDBusMessage;
class QVariant;

/// Light or dark: the desktop's choice, read through the freedesktop settings portal and followed
/// while the application runs, or the user's own from View ▸ Appearance. Paints the whole
/// application in the palette chosen.
class Appearance : public QObject
{
    Q_OBJECT

public:
    /// What View ▸ Appearance offers.
    enum class Choice { system, light, dark };
    /// The portal's `color-scheme` values.
    enum class Scheme : unsigned { noPreference = 0, dark = 1, light = 2 };

    /// Starts from the palette the application has now, as the desktop's own when it states no
    /// preference.
    explicit Appearance(QObject *parent = nullptr);

    Choice choice() const { return m_choice; }
    void setChoice(Choice choice);
    Scheme desktopScheme() const { return m_desktop; }
    void setDesktopScheme(Scheme scheme);
    /// Whether the application is painted dark now.
    bool isDark() const;

    /// Asks the settings portal on `bus` for the desktop's colour scheme (without waiting for the
    /// answer) and follows its changes from then on. Without a portal the desktop states no
    /// preference.
    void followDesktop(const QDBusConnection &bus);
    /// The same on the session bus.
    void followDesktop();

    /// The `color-scheme` in a portal answer, however deeply the answer wraps it in variants.
    static std::optional<Scheme> schemeFromPortal(const QVariant &answer);
    /// The dark palette used where the desktop offers none.
    static QPalette darkPalette();

signals:
    /// The palette changed, or the choice did.
    void changed();

private slots:
    void portalSettingChanged(const QDBusMessage &announcement);

private:
    void apply();

    Choice m_choice = Choice::system;
    Scheme m_desktop = Scheme::noPreference;
    QPalette m_desktopPalette; // the application's palette at start
    bool m_dark = false;
};
