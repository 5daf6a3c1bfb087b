#pragma once

#include "app/AlertPresenter.h"

#include <QString>
#include <QStringList>

/// Alerts as QMessageBox dialogs over the active window.
class MessageBoxAlerts : public AlertPresenter
{
public:
    int show(Style style, const QString &message, const QString &informative,
             const QStringList &buttons) override;
};
