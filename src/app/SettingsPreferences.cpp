#include "app/SettingsPreferences.h"

#include <QSettings>

bool SettingsPreferences::flag(const QString &key) const
{
    return QSettings().value(key, false).toBool();
}

void SettingsPreferences::setFlag(const QString &key, bool value)
{
    QSettings().setValue(key, value);
}

QByteArray SettingsPreferences::data(const QString &key) const
{
    return QSettings().value(key).toByteArray();
}

void SettingsPreferences::setData(const QString &key, const QByteArray &value)
{
    QSettings().setValue(key, value);
}
