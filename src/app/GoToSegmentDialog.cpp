#include "app/GoToSegmentDialog.h"

#include "app/Style.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

GoToSegmentDialog::GoToSegmentDialog(int count, QWidget *parent)
    : QDialog(parent), m_number(new QSpinBox(this))
{
    setWindowTitle(QStringLiteral("Go to Segment"));
    auto *column = new QVBoxLayout(this);
    column->addWidget(new QLabel(QStringLiteral("Segment number (1\u2013%L1):").arg(count), this));
    m_number->setRange(1, count);
    m_number->setGroupSeparatorShown(true);
    m_number->selectAll();
    column->addWidget(m_number);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    column->addWidget(buttons);
    // Title bars set their titles in bold, beside an icon and three buttons: at the width Qt
    // gives an input dialog, the title showed as "Go to …gment".
    QFont bold = font();
    bold.setBold(true);
    setMinimumWidth(QFontMetrics(bold).horizontalAdvance(windowTitle()) + Style::pt(150));
}

int GoToSegmentDialog::number() const
{
    return m_number->value();
}
