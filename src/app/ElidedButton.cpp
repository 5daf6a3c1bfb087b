#include "app/ElidedButton.h"

#include "app/Style.h"

#include <QStyleOptionButton>
#include <QStylePainter>

QSize ElidedButton::minimumSizeHint() const
{
    return {Style::pt(60), QPushButton::sizeHint().height()};
}

QSize ElidedButton::sizeHint() const
{
    return minimumSizeHint();
}

void ElidedButton::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QRect contents = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    option.text = fontMetrics().elidedText(text(), Qt::ElideRight, contents.width());
    painter.drawControl(QStyle::CE_PushButton, option);
}
