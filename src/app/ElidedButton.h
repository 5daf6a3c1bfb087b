#pragma once

#include <QPushButton>

/// A push button whose text ends with "…" where it does not fit: a finding in the summary, which
/// may be as long as its message.
class ElidedButton : public QPushButton
{
    Q_OBJECT

public:
    using QPushButton::QPushButton;

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};
