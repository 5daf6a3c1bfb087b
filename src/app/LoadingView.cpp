#include "app/LoadingView.h"

#include "app/Style.h"

#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

LoadingView::LoadingView(QWidget *parent)
    : QWidget(parent), m_title(new QLabel(this)), m_bar(new QProgressBar(this))
{
    Style::useTextBackground(this);
    auto *stack = new QVBoxLayout(this);
    stack->setSpacing(Style::pt(14));
    stack->addStretch(1);
    m_title->setFont(Style::title3());
    m_title->setTextFormat(Qt::PlainText);
    m_title->setAlignment(Qt::AlignCenter);
    stack->addWidget(m_title, 0, Qt::AlignHCenter);
    m_bar->setRange(0, 0); // busy: how far a parse is cannot be told
    m_bar->setTextVisible(false);
    m_bar->setFixedWidth(Style::pt(260));
    stack->addWidget(m_bar, 0, Qt::AlignHCenter);
    stack->addStretch(1);
}

void LoadingView::setFile(const QString &path)
{
    m_title->setText(QStringLiteral("Opening %1\u2026").arg(QFileInfo(path).fileName()));
}

QString LoadingView::title() const
{
    return m_title->text();
}
