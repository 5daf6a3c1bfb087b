#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class WindowSession;

/// The welcome state with its open button, or the error state after a failed open.
class EmptyStateView : public QWidget
{
    Q_OBJECT

public:
    explicit EmptyStateView(WindowSession &session, QWidget *parent = nullptr);
    /// Shows the error of a failed open, or the welcome without one.
    void setError(const QString *error);
    QString title() const;
    QString line() const;
    QPushButton *button() const { return m_button; }

private:
    QLabel *m_icon;
    QLabel *m_title;
    QLabel *m_line;
    QPushButton *m_button;
};
