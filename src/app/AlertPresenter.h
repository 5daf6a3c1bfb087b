#pragma once

#include <QString>
#include <QStringList>

/// Modal alerts. show() returns the index of the button chosen (0 for the first).
class AlertPresenter
{
public:
    enum class Style { informational, warning };
    virtual ~AlertPresenter() = default;
    virtual int show(Style style, const QString &message, const QString &informative,
                     const QStringList &buttons) = 0;
};
