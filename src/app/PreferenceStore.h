#pragma once

#include <QByteArray>
#include <QString>

/// The per-user flag that remembers the first-launch question.
class PreferenceStore
{
public:
    virtual ~PreferenceStore() = default;
    virtual bool flag(const QString &key) const = 0;
    virtual void setFlag(const QString &key, bool value) = 0;
    /// Opaque data kept between launches (the window's layout); empty when there is none.
    virtual QByteArray data(const QString &) const { return {}; }
    virtual void setData(const QString &, const QByteArray &) {}
};
