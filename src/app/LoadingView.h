#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;

/// What the window shows while a file is read and parsed.
class LoadingView : public QWidget
{
    Q_OBJECT

public:
    explicit LoadingView(QWidget *parent = nullptr);
    void setFile(const QString &path);
    QString title() const;

private:
    QLabel *m_title;
    QProgressBar *m_bar;
};
