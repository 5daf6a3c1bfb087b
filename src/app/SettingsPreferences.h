#pragma once

#include "app/PreferenceStore.h"

#include <QByteArray>
#include <QString>

/// Flags in QSettings (organisation and application "Kelvane").
class SettingsPreferences : public PreferenceStore
{
public:
    bool flag(const QString &key) const override;
    void setFlag(const QString &key, bool value) override;
    QByteArray data(const QString &key) const override;
    void setData(const QString &key, const QByteArray &value) override;
};
