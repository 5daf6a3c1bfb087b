#include "app/ActivityBar.h"

#include "app/Style.h"
#include "app/WindowSession.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

ActivityBar::ActivityBar(WindowSession &session, QWidget *parent)
    : QWidget(parent), m_session(session), m_text(new QLabel(this)),
      m_progress(new QProgressBar(this)), m_action(new QPushButton(this)),
      m_close(new QToolButton(this)), m_noticeTimer(new QTimer(this))
{
    Style::tint(this,
                [bar = static_cast<QWidget *>(this)] { return Style::accent(bar->palette()); });
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(Style::pt(8), Style::pt(4), Style::pt(8), Style::pt(4));
    row->setSpacing(Style::pt(8));
    m_text->setTextFormat(Qt::PlainText);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_text->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    row->addWidget(m_text, 1);
    m_progress->setRange(0, 1000);
    m_progress->setFixedWidth(Style::pt(160));
    m_progress->setTextVisible(false);
    row->addWidget(m_progress);
    row->addWidget(m_action);
    m_close->setText(QStringLiteral("\u2715"));
    m_close->setAutoRaise(true);
    m_close->setToolTip(QStringLiteral("Close"));
    row->addWidget(m_close);

    connect(m_action, &QPushButton::clicked, this, [this] {
        if (m_session.currentExport())
            m_session.cancelExport();
        else if (m_session.lastExport())
            m_session.showLastExport();
    });
    connect(m_close, &QToolButton::clicked, this, [this] {
        m_notice.clear();
        m_session.dismissLastExport();
        refresh();
    });
    m_noticeTimer->setSingleShot(true);
    connect(m_noticeTimer, &QTimer::timeout, this, [this] {
        m_notice.clear();
        refresh();
    });
    connect(&session, &WindowSession::exportChanged, this, &ActivityBar::refresh);
    connect(&session, &WindowSession::exportCancelled, this,
            [this] { showNotice(QStringLiteral("Export cancelled")); });
    connect(&session, &WindowSession::documentChanged, this, [this] {
        m_notice.clear();
        refresh();
    });
    refresh();
}

void ActivityBar::showNotice(const QString &text)
{
    m_notice = text;
    m_noticeTimer->start(10'000);
    refresh();
}

QString ActivityBar::text() const
{
    return isHidden() ? QString() : m_text->text();
}

void ActivityBar::refresh()
{
    if (const auto &work = m_session.currentExport()) {
        m_text->setText(work->cancelling
                            ? QStringLiteral("Cancelling the export\u2026")
                            : QStringLiteral("Exporting %1 to %2\u2026")
                                  .arg(work->fileName, QFileInfo(work->destination).fileName()));
        // Below 0 the progress is unknown, and the bar shows that it is busy instead.
        m_progress->setRange(0, work->done < 0 ? 0 : 1000);
        m_progress->setValue(work->done < 0 ? 0 : int(work->done * 1000));
        m_progress->show();
        m_action->setText(QStringLiteral("Cancel"));
        m_action->setEnabled(!work->cancelling);
        m_action->show();
        m_close->hide();
        show();
    } else if (const auto &written = m_session.lastExport()) {
        m_text->setText(QStringLiteral("Exported \u201C%1\u201D").arg(*written));
        m_text->setToolTip(*written);
        m_progress->hide();
        m_action->setText(QStringLiteral("Show in Folder"));
        m_action->setEnabled(true);
        m_action->show();
        m_close->show();
        show();
    } else if (!m_notice.isEmpty()) {
        m_text->setText(m_notice);
        m_progress->hide();
        m_action->hide();
        m_close->show();
        show();
    } else {
        hide();
    }
}
