#include "app/Inspector.h"

#include "app/AppModel.h"
#include "app/DisplayText.h"
#include "app/Style.h"
#include "core/X12Dictionary.h"
#include "core/X12Document.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>

namespace {

using DisplayText::shown;

/// "… and 12 more elements": the note under a list that was cut short.
QString moreNote(std::size_t count, const char *what)
{
    return QStringLiteral("\u2026 and %1 more %2").arg(count).arg(QLatin1String(what));
}

QLabel *label(const QString &text, const QFont &font, const QColor &colour, QWidget *parent,
              bool selectable = false)
{
    auto *l = new QLabel(text, parent);
    l->setFont(font);
    l->setTextFormat(Qt::PlainText);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, colour);
    l->setPalette(p);
    if (selectable)
        l->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return l;
}

QWidget *divider(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    QPalette p = line->palette();
    p.setColor(QPalette::WindowText, Style::quaternary(parent->palette()));
    line->setPalette(p);
    return line;
}

/// A background in the window's text colours.
void useTextBackground(QWidget *widget)
{
    widget->setAutoFillBackground(true);
    QPalette p = widget->palette();
    p.setColor(QPalette::Window, p.color(QPalette::Base));
    widget->setPalette(p);
}

QWidget *elementTable(const X12Segment &segment, QWidget *parent)
{
    const QPalette &palette = parent->palette();
    auto *table = new QWidget(parent);
    auto *rows = new QVBoxLayout(table);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(0);

    auto *header = new QHBoxLayout;
    header->setSpacing(8);
    header->setContentsMargins(0, 0, 0, 8);
    header->addWidget(label(shown(segment.tag(), DisplayText::maxLineLength),
                            Style::fixedFont(12, QFont::Bold), palette.color(QPalette::Text),
                            table));
    header->addWidget(
        label(shown(X12Dictionary::segmentName(segment.tag()), DisplayText::maxLineLength),
              Style::font(12), Style::secondary(palette), table));
    header->addStretch(1);
    header->addWidget(label(QStringLiteral("segment #%1").arg(segment.position()),
                            Style::fixedFont(10), Style::tertiary(palette), table));
    rows->addLayout(header);

    const std::vector<ElementRow> elements = elementRows(segment, DisplayText::maxRows);
    for (std::size_t i = 0; i < elements.size(); ++i) {
        const ElementRow &element = elements[i];
        auto *row = new QWidget(table);
        if (i % 2 == 1) {
            // Odd places are striped with the quaternary colour at 22 % opacity.
            row->setAutoFillBackground(true);
            QPalette p = row->palette();
            QColor stripe = Style::quaternary(palette);
            stripe.setAlphaF(0.22f);
            p.setColor(QPalette::Window, stripe);
            row->setPalette(p);
        }
        auto *line = new QHBoxLayout(row);
        line->setContentsMargins(6, 4, 6, 4);
        line->setSpacing(10);
        QLabel *ref = label(element.ref, Style::fixedFont(10.5, QFont::Medium),
                            Style::secondary(palette), row);
        ref->setFixedWidth(Style::pt(58));
        QLabel *name = label(element.name, Style::font(11.5), Style::secondary(palette), row);
        name->setFixedWidth(Style::pt(200));
        line->addWidget(ref, 0, Qt::AlignTop);
        line->addWidget(name, 0, Qt::AlignTop);
        auto *value = new QVBoxLayout;
        value->setSpacing(1);
        value->addWidget(label(element.value, Style::fixedFont(12, QFont::Medium),
                               palette.color(QPalette::Text), row, true));
        if (element.decoded)
            value->addWidget(label(*element.decoded, Style::font(11), Style::accent(palette), row));
        line->addLayout(value, 1);
        rows->addWidget(row);
    }
    std::size_t present = 0;
    for (const std::string_view value : segment.elements())
        present += value.empty() ? 0u : 1u;
    if (present > elements.size()) {
        QLabel *more = label(moreNote(present - elements.size(), "elements"), Style::footnote(),
                             Style::secondary(palette), table);
        more->setContentsMargins(6, 6, 6, 0);
        rows->addWidget(more);
    }
    return table;
}

void collectTexts(const QWidget *widget, QStringList &texts)
{
    for (const QObject *child : widget->children()) {
        if (const auto *l = qobject_cast<const QLabel *>(child))
            texts << l->text();
        else if (const auto *w = qobject_cast<const QWidget *>(child))
            collectTexts(w, texts);
    }
}

} // namespace

std::vector<ElementRow> elementRows(const X12Segment &segment, std::size_t limit)
{
    std::vector<ElementRow> rows;
    const X12Dictionary::ElementVocabulary vocabulary(segment.tag());
    for (std::size_t i = 0; i < segment.elementCount() && rows.size() < limit; ++i) {
        const std::string_view value = segment.element(i);
        if (value.empty())
            continue;
        const X12Dictionary::ElementDescription element =
            vocabulary.describe(std::ptrdiff_t(i + 1), value);
        ElementRow row;
        row.ref = shown(element.reference, DisplayText::maxLineLength);
        row.name = shown(element.name, DisplayText::maxLineLength);
        row.value = shown(value);
        if (element.reading != X12Dictionary::ElementDescription::Reading::plain)
            row.decoded = shown(element.readable);
        rows.push_back(std::move(row));
    }
    return rows;
}

QString delimiterDisplay(const std::string &delimiter)
{
    if (delimiter == "\n")
        return QStringLiteral("\\n (newline)");
    if (delimiter == "\r")
        return QStringLiteral("\\r");
    const QString text = QString::fromStdString(delimiter);
    if (text.isEmpty() || text.front().unicode() >= 32)
        return text;
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", unsigned(text.front().unicode()));
    return QString::fromLatin1(hex);
}

SegmentDetailView::SegmentDetailView(QWidget *parent) : QScrollArea(parent)
{
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    useTextBackground(viewport());
}

void SegmentDetailView::inspect(std::shared_ptr<const X12Document> document,
                                const InspectedNode &node)
{
    m_document = std::move(document);
    auto *content = new QWidget;
    useTextBackground(content);
    const QPalette &palette = content->palette();
    auto *stack = new QVBoxLayout(content);
    stack->setContentsMargins(20, 20, 20, 20);
    stack->setSpacing(14);

    auto *header = new QVBoxLayout;
    header->setSpacing(3);
    header->addWidget(label(node.title, Style::title2(), palette.color(QPalette::Text), content));
    if (!node.subtitle.isEmpty())
        header->addWidget(
            label(node.subtitle, Style::callout(), Style::secondary(palette), content));
    stack->addLayout(header);

    for (const QString &finding : node.findings) {
        QLabel *line = label(QStringLiteral("\u26A0 ") + finding, Style::font(12, QFont::Medium),
                             QColor(0xD0, 0x6A, 0x00), content, true);
        line->setWordWrap(true);
        stack->addWidget(line);
    }
    if (node.segment && m_document) {
        const X12Segment segment = m_document->segment(*node.segment);
        stack->addWidget(elementTable(segment, content));
        auto *raw = new QVBoxLayout;
        raw->setSpacing(4);
        raw->addWidget(label(QStringLiteral("RAW SEGMENT"), Style::font(9, QFont::DemiBold),
                             Style::secondary(palette), content));
        QLabel *text = label(shown(segment.raw()), Style::fixedFont(11),
                             palette.color(QPalette::Text), content, true);
        text->setWordWrap(true);
        text->setMargin(8);
        text->setAutoFillBackground(true);
        QPalette p = text->palette();
        QColor fill = Style::quaternary(palette);
        fill.setAlphaF(0.35f);
        p.setColor(QPalette::Window, fill);
        text->setPalette(p);
        raw->addWidget(text);
        stack->addLayout(raw);
    }
    if (node.childCount > 0) {
        stack->addWidget(label(QStringLiteral("Contains %1 child element%2")
                                   .arg(node.childCount)
                                   .arg(node.childCount == 1 ? "" : "s"),
                               Style::footnote(), Style::secondary(palette), content));
    }
    stack->addStretch(1);
    setWidget(content);
}

QStringList SegmentDetailView::texts() const
{
    QStringList all;
    if (widget())
        collectTexts(widget(), all);
    return all;
}

DocumentSummaryView::DocumentSummaryView(AppModel &model, QWidget *parent)
    : QWidget(parent), m_model(model), m_layout(new QVBoxLayout(this))
{
    useTextBackground(this);
    m_layout->setContentsMargins(20, 20, 20, 20);
    m_layout->setSpacing(12);
    refresh();
}

void DocumentSummaryView::refresh()
{
    // Deleting an item deletes nested layouts and spacers; the widgets are deleted apart.
    while (QLayoutItem *item = m_layout->takeAt(0))
        delete item;
    qDeleteAll(findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly));
    const auto document = m_model.document();
    if (!document)
        return;
    const QPalette &p = palette();
    auto row = [this, &p](const QString &name, const QString &value) {
        auto *line = new QHBoxLayout;
        QLabel *l = label(name, Style::font(12), Style::secondary(p), this);
        l->setFixedWidth(Style::pt(170));
        line->addWidget(l);
        line->addWidget(label(value, Style::fixedFont(12), p.color(QPalette::Text), this, true));
        line->addStretch(1);
        m_layout->addLayout(line);
    };
    m_layout->addWidget(label(shown(document->fileName(), DisplayText::maxLineLength),
                              Style::title2(), p.color(QPalette::Text), this));
    m_layout->addWidget(label(shown(document->summaryLine(), DisplayText::maxLineLength),
                              Style::font(12), Style::secondary(p), this));
    m_layout->addWidget(divider(this));
    const X12Delimiters &d = document->delimiters();
    row(QStringLiteral("Element separator"), delimiterDisplay(d.element));
    row(QStringLiteral("Component separator"), delimiterDisplay(d.component));
    row(QStringLiteral("Repetition separator"), delimiterDisplay(d.repetition));
    row(QStringLiteral("Segment terminator"), delimiterDisplay(d.segment));
    m_layout->addWidget(divider(this));
    const auto &codes = document->transactionSets();
    for (std::size_t i = 0; i < std::min(codes.size(), DisplayText::maxRows); ++i)
        row(shown(codes[i], DisplayText::maxLineLength),
            shown(X12Dictionary::transactionSetName(codes[i]), DisplayText::maxLineLength));
    if (codes.size() > DisplayText::maxRows)
        m_layout->addWidget(label(moreNote(codes.size() - DisplayText::maxRows, "transaction sets"),
                                  Style::footnote(), Style::secondary(p), this));
    if (const std::size_t count = document->findingCount(); count > 0) {
        m_layout->addWidget(divider(this));
        m_layout->addWidget(label(QStringLiteral("ENVELOPE FINDINGS"),
                                  Style::font(9, QFont::DemiBold), Style::secondary(p), this));
        for (std::size_t i = 0; i < std::min(count, DisplayText::maxRows); ++i) {
            const X12Finding finding = document->finding(i);
            auto *button =
                new QPushButton(QStringLiteral("\u26A0 segment %1: %2")
                                    .arg(finding.position)
                                    .arg(shown(finding.message, DisplayText::maxLineLength)),
                                this);
            button->setFlat(true);
            button->setStyleSheet(QStringLiteral("text-align: left; color: #d06a00;"));
            button->setCursor(Qt::PointingHandCursor);
            const std::uint32_t segment = finding.position - 1;
            connect(button, &QPushButton::clicked, this,
                    [this, segment] { emit findingActivated(segment); });
            m_layout->addWidget(button);
        }
        if (count > DisplayText::maxRows)
            m_layout->addWidget(label(moreNote(count - DisplayText::maxRows, "findings"),
                                      Style::footnote(), Style::secondary(p), this));
    }
    m_layout->addStretch(1);
    m_layout->addWidget(label(QStringLiteral("Select a node on the left to inspect it."),
                              Style::footnote(), Style::tertiary(p), this));
}

QStringList findingsAbout(const X12Document &document, std::uint32_t segment)
{
    QStringList texts;
    const auto [first, last] = document.findingsAbout(segment);
    for (std::size_t i = first; i < last; ++i) {
        const X12Finding finding = document.finding(i);
        texts << QString::fromLatin1(toString(finding.severity).data()) + QStringLiteral(": ") +
                     shown(finding.message, DisplayText::maxLineLength);
    }
    return texts;
}

QStringList DocumentSummaryView::texts() const
{
    QStringList all;
    collectTexts(this, all);
    return all;
}
