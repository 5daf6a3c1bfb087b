#include "app/MessageBoxAlerts.h"

#include <QApplication>
#include <QList>
#include <QMessageBox>
#include <QPushButton>

int MessageBoxAlerts::show(Style style, const QString &message, const QString &informative,
                           const QStringList &buttons)
{
    QMessageBox box(style == Style::warning ? QMessageBox::Warning : QMessageBox::Information,
                    QStringLiteral("Kelvane"), message, QMessageBox::NoButton,
                    QApplication::activeWindow());
    box.setInformativeText(informative);
    QList<QAbstractButton *> added;
    for (const QString &title : buttons)
        added << box.addButton(title,
                               added.isEmpty() ? QMessageBox::AcceptRole : QMessageBox::RejectRole);
    if (added.isEmpty())
        box.addButton(QMessageBox::Ok);
    box.exec();
    // -1 when the box was closed without a button: never taken for the first choice.
    return int(added.indexOf(box.clickedButton()));
}
