#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class QToolButton;
class WindowSession;

/// A strip above the document: the export under way with its progress and Cancel, a finished
/// export with its path and Show in Folder, or a short notice (an export cancelled).
class ActivityBar : public QWidget
{
    Q_OBJECT

public:
    explicit ActivityBar(WindowSession &session, QWidget *parent = nullptr);
    /// Shows a notice that goes away by itself after a while, or when closed.
    void showNotice(const QString &text);
    QString text() const;
    QPushButton *actionButton() const { return m_action; }

private:
    void refresh();

    WindowSession &m_session;
    QLabel *m_text;
    QProgressBar *m_progress;
    QPushButton *m_action;
    QToolButton *m_close;
    QTimer *m_noticeTimer;
    QString m_notice;
};
