#include "app/SegmentDetailView.h"

#include "app/DisplayText.h"
#include "app/ElementTableModel.h"
#include "app/ElementTableView.h"
#include "app/ElidedLabel.h"
#include "app/InspectedNode.h"
#include "app/InspectorWidgets_p.h"
#include "app/SelectableText.h"
#include "app/Style.h"
#include "core/dictionary/X12Dictionary.h"
#include "core/model/X12Document.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

using detail::label;
using detail::line;
using detail::text;
using DisplayText::shown;

namespace {

/// The node's title, with its subtitle and loop under it when it has them.
QVBoxLayout *header(const InspectedNode &node, QWidget *content)
{
    const QPalette &palette = content->palette();
    auto *header = new QVBoxLayout;
    header->setSpacing(Style::pt(3));
    header->addWidget(text(node.title, Style::title2(), palette.color(QPalette::Text), content));
    if (!node.subtitle.isEmpty())
        header->addWidget(
            text(node.subtitle, Style::callout(), Style::secondary(palette), content));
    if (!node.loop.isEmpty())
        header->addWidget(
            line(node.loop, Style::font(11, QFont::Medium), Style::secondary(palette), content));
    return header;
}

/// The tag, the segment's name and its position, above the element table.
QHBoxLayout *caption(const X12Segment &segment, QWidget *content)
{
    const QPalette &palette = content->palette();
    auto *caption = new QHBoxLayout;
    caption->setSpacing(Style::pt(8));
    // A tag or name too long for the row wraps; a short tag keeps its own width.
    SelectableText *tag =
        text(shown(segment.tag(), DisplayText::maxLineLength), Style::fixedFont(12, QFont::Bold),
             palette.color(QPalette::Text), content);
    tag->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    tag->setMaximumWidth(Style::pt(160));
    caption->addWidget(tag, 0, Qt::AlignTop);
    caption->addWidget(
        text(shown(X12Dictionary::segmentName(segment.tag()), DisplayText::maxLineLength),
             Style::font(12), Style::secondary(palette), content),
        1, Qt::AlignTop);
    caption->addWidget(label(QStringLiteral("segment #%1").arg(segment.position()),
                             Style::fixedFont(10), Style::tertiary(palette), content),
                       0, Qt::AlignTop);
    return caption;
}

/// The segment's text as the file has it (cut for display), under its heading.
QVBoxLayout *rawText(const X12Segment &segment, QWidget *content)
{
    const QPalette &palette = content->palette();
    auto *raw = new QVBoxLayout;
    raw->setSpacing(Style::pt(4));
    raw->addWidget(label(QStringLiteral("RAW SEGMENT"), Style::font(9, QFont::DemiBold),
                         Style::secondary(palette), content));
    SelectableText *segmentText =
        text(shown(segment.raw()), Style::fixedFont(11), palette.color(QPalette::Text), content);
    segmentText->document()->setDocumentMargin(Style::pt(8));
    segmentText->setAutoFillBackground(true);
    QPalette p = segmentText->palette();
    p.setColor(QPalette::Window, Style::quaternary(palette));
    segmentText->setPalette(p);
    raw->addWidget(segmentText);
    return raw;
}

} // namespace

void SegmentDetailView::changeEvent(QEvent *event)
{
    QScrollArea::changeEvent(event);
    // Its colours come from the palette as it is laid out: a light or dark appearance chosen
    // meanwhile lays it out again.
    if (event->type() == QEvent::PaletteChange && m_node)
        inspect(m_document, *m_node);
}

SegmentDetailView::SegmentDetailView(QWidget *parent) : QScrollArea(parent)
{
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Style::useTextBackground(viewport());
}

void SegmentDetailView::inspect(std::shared_ptr<const X12Document> document,
                                const InspectedNode &node)
{
    m_document = std::move(document);
    if (!m_node || &*m_node != &node)
        m_node = node;
    m_table = nullptr;
    auto *content = new QWidget;
    Style::useTextBackground(content);
    const QPalette &palette = content->palette();
    auto *stack = new QVBoxLayout(content);
    const int margin = Style::pt(20);
    stack->setContentsMargins(margin, margin, margin, margin);
    stack->setSpacing(Style::pt(14));

    stack->addLayout(header(node, content));
    // A finding about an element shows under its value in the table; the others, and those
    // whose element has no row, above the table.
    const int findingsAt = stack->count();
    const bool segmentShown = node.segment && m_document;
    std::vector<QString> aboveTable;
    std::vector<std::pair<std::ptrdiff_t, QString>> onRows;
    for (const InspectedNode::Finding &finding : node.findings) {
        if (segmentShown && finding.element > 0)
            onRows.emplace_back(finding.element, finding.text);
        else
            aboveTable.push_back(finding.text);
    }
    if (segmentShown)
        std::ranges::move(addSegment(stack, *node.segment, content, std::move(onRows)),
                          std::back_inserter(aboveTable));
    for (std::size_t i = 0; i < aboveTable.size(); ++i) {
        stack->insertWidget(findingsAt + int(i),
                            text(QStringLiteral("\u26A0 ") + aboveTable[i],
                                 Style::font(12, QFont::Medium),
                                 Style::warning(Style::WarningUse::text), content));
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

std::vector<QString>
SegmentDetailView::addSegment(QVBoxLayout *stack, std::uint32_t index, QWidget *content,
                              std::vector<std::pair<std::ptrdiff_t, QString>> findings)
{
    const X12Segment segment = m_document->segment(index);
    stack->addLayout(caption(segment, content));

    m_table = new ElementTableView(content);
    std::vector<QString> unplaced = m_table->showSegment(m_document, index, std::move(findings));
    stack->addWidget(m_table);
    std::size_t present = 0;
    for (const std::string_view value : segment.elements())
        present += value.empty() ? 0u : 1u;
    const std::size_t listed = std::size_t(m_table->elements()->rowCount());
    if (present > listed) {
        QLabel *more = label(detail::moreNote(present - listed, "element", "elements"),
                             Style::footnote(), Style::secondary(content->palette()), content);
        more->setContentsMargins(Style::pt(6), 0, Style::pt(6), 0);
        stack->addWidget(more);
    }

    stack->addLayout(rawText(segment, content));

    // An interchange's header declares the delimiters of its own segments.
    if (m_document->kind(index) == X12Node::Kind::interchange) {
        auto *delimiters = new QVBoxLayout;
        delimiters->setSpacing(Style::pt(12));
        detail::addDelimiterRows(delimiters, m_document->delimitersAt(index), content);
        stack->addLayout(delimiters);
    }
    return unplaced;
}

QStringList SegmentDetailView::texts() const
{
    return detail::texts(widget());
}
