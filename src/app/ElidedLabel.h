#pragma once

#include <QLabel>

/// A one-line label that ends its text with "…" where it does not fit, and shows it whole in its
/// tooltip; text() keeps the whole text.
class ElidedLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ElidedLabel(const QString &text, QWidget *parent = nullptr);
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};
