#include "app/DocumentSummaryView.h"

#include "app/DisplayText.h"
#include "app/ElidedButton.h"
#include "app/InspectorWidgets_p.h"
#include "app/SelectableText.h"
#include "app/Style.h"
#include "app/WindowSession.h"
#include "core/dictionary/X12Dictionary.h"
#include "core/model/X12Document.h"

#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>
#include <vector>

using detail::label;
using DisplayText::shown;

DocumentSummaryView::DocumentSummaryView(WindowSession &session, QWidget *parent)
    : QScrollArea(parent), m_session(session)
{
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Style::useTextBackground(viewport());
    refresh();
}

void DocumentSummaryView::changeEvent(QEvent *event)
{
    QScrollArea::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) // its colours are laid out with it
        refresh();
}

void DocumentSummaryView::refresh()
{
    auto *content = new QWidget;
    Style::useTextBackground(content);
    auto *layout = new QVBoxLayout(content);
    const int margin = Style::pt(20);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(Style::pt(12));
    const auto document = m_session.document();
    if (!document) {
        setWidget(content);
        return;
    }
    const QPalette &p = content->palette();
    layout->addWidget(detail::text(shown(document->fileName(), DisplayText::maxLineLength),
                                   Style::title2(), p.color(QPalette::Text), content));
    layout->addWidget(detail::text(shown(document->summaryLine(), DisplayText::maxLineLength),
                                   Style::font(12), Style::secondary(p), content));
    layout->addWidget(detail::divider(content));
    detail::addDelimiterRows(layout, document->delimiters(), content);
    layout->addWidget(detail::divider(content));
    const auto &codes = document->transactionSets();
    std::vector<std::pair<QString, QString>> sets;
    for (std::size_t i = 0; i < std::min(codes.size(), DisplayText::maxRows); ++i)
        sets.emplace_back(
            shown(codes[i], DisplayText::maxLineLength),
            shown(X12Dictionary::transactionSetName(codes[i]), DisplayText::maxLineLength));
    if (!sets.empty())
        detail::addLabeledRows(layout, sets, content);
    if (codes.size() > DisplayText::maxRows)
        layout->addWidget(label(detail::moreNote(codes.size() - DisplayText::maxRows,
                                                 "transaction set", "transaction sets"),
                                Style::footnote(), Style::secondary(p), content));
    addFindings(layout, *document, content);
    layout->addStretch(1);
    layout->addWidget(label(QStringLiteral("Select a node on the left to inspect it."),
                            Style::footnote(), Style::tertiary(p), content));
    setWidget(content);
}

void DocumentSummaryView::addFindings(QVBoxLayout *layout, const X12Document &document,
                                      QWidget *content)
{
    const std::size_t count = document.findingCount();
    if (count == 0)
        return;
    const QPalette &p = content->palette();
    layout->addWidget(detail::divider(content));
    layout->addWidget(label(QStringLiteral("ENVELOPE FINDINGS"), Style::font(9, QFont::DemiBold),
                            Style::secondary(p), content));
    const QString buttonStyle = QStringLiteral("text-align: left; color: %1;")
                                    .arg(Style::warning(Style::WarningUse::text).name());
    for (std::size_t i = 0; i < std::min(count, DisplayText::maxRows); ++i) {
        const X12Finding finding = document.finding(i);
        const QString text = QStringLiteral("\u26A0 segment %1: %2")
                                 .arg(finding.position)
                                 .arg(shown(finding.message, DisplayText::maxLineLength));
        auto *button = new ElidedButton(text, content);
        button->setToolTip(text);
        button->setFlat(true);
        button->setStyleSheet(buttonStyle);
        button->setCursor(Qt::PointingHandCursor);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        const std::uint32_t segment = finding.position - 1;
        connect(button, &QPushButton::clicked, this,
                [this, segment] { emit findingActivated(segment); });
        layout->addWidget(button);
    }
    if (count > DisplayText::maxRows)
        layout->addWidget(
            label(detail::moreNote(count - DisplayText::maxRows, "finding", "findings"),
                  Style::footnote(), Style::secondary(p), content));
}

QStringList DocumentSummaryView::texts() const
{
    return detail::texts(widget());
}
