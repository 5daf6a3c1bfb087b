#include "app/EmptyStateView.h"

#include "app/Style.h"
#include "app/WindowSession.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

EmptyStateView::EmptyStateView(WindowSession &session, QWidget *parent)
    : QWidget(parent), m_icon(new QLabel(this)), m_title(new QLabel(this)),
      m_line(new QLabel(this)), m_button(new QPushButton(QStringLiteral("Choose File\u2026"), this))
{
    Style::useTextBackground(this);

    auto *stack = new QVBoxLayout(this);
    stack->setSpacing(Style::pt(14));
    stack->addStretch(1);
    for (QWidget *w : {static_cast<QWidget *>(m_icon), static_cast<QWidget *>(m_title),
                       static_cast<QWidget *>(m_line)})
        stack->addWidget(w, 0, Qt::AlignHCenter);
    stack->addWidget(m_button, 0, Qt::AlignHCenter);
    stack->addStretch(1);

    m_title->setFont(Style::title3());
    m_title->setTextFormat(Qt::PlainText);
    m_title->setAlignment(Qt::AlignCenter);
    m_title->setWordWrap(true);
    m_title->setFixedWidth(Style::pt(520));
    m_line->setFont(Style::callout());
    m_line->setWordWrap(true);
    m_line->setAlignment(Qt::AlignCenter);
    m_line->setFixedWidth(Style::pt(420));
    Style::setTextColour(m_line, Style::secondary);
    m_button->setFont(Style::font(13));
    m_button->setMinimumHeight(Style::pt(24));
    connect(m_button, &QPushButton::clicked, &session, &WindowSession::showOpenPanel);
    setError(nullptr);
}

void EmptyStateView::setError(const QString *error)
{
    const QColor colour = error ? Style::warning() : Style::accent(palette());
    const QIcon icon =
        Style::symbol(error ? Style::Symbol::warning : Style::Symbol::searchDocument, colour);
    m_icon->setPixmap(icon.pixmap(Style::pt(52), Style::pt(52)));
    m_title->setText(error ? *error : QStringLiteral("Open an X12 file"));
    m_line->setText(error ? QStringLiteral("Try another file.")
                          : QStringLiteral("837, 835, 834, 270/271, 276/277, 278, 820, 999 and any "
                                           "other X12 / EDI file. Drag one here."));
    // A centred layout gives a wrapped label one line's height unless told how tall it is.
    for (QLabel *label : {m_title, m_line})
        label->setMinimumHeight(label->heightForWidth(label->width()));
}

QString EmptyStateView::title() const
{
    return m_title->text();
}

QString EmptyStateView::line() const
{
    return m_line->text();
}
