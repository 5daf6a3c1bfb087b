#include "app/Inspector.h"

#include "app/WindowSession.h"
#include "app/DisplayText.h"
#include "app/Style.h"
#include "core/dictionary/X12Dictionary.h"
#include "core/model/X12Document.h"
#include "core/guides/X12GuideLoops.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QStylePainter>
#include <QTextLayout>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

using DisplayText::shown;

/// "… and 12 more elements": the note under a list that was cut short.
QString moreNote(std::size_t count, const char *what)
{
    return QStringLiteral("\u2026 and %1 more %2").arg(count).arg(QLatin1String(what));
}

void setTextColour(QWidget *widget, const QColor &colour)
{
    QPalette p = widget->palette();
    p.setColor(QPalette::WindowText, colour);
    p.setColor(QPalette::ButtonText, colour);
    widget->setPalette(p);
}

/// A label for text that may wrap (or, with `selectable`, be selected and copied).
QLabel *label(const QString &text, const QFont &font, const QColor &colour, QWidget *parent,
              bool selectable = false)
{
    auto *l = new QLabel(text, parent);
    l->setFont(font);
    l->setTextFormat(Qt::PlainText);
    setTextColour(l, colour);
    if (selectable)
        l->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return l;
}

/// A one-line label, cut with "…" when its column is too narrow.
ElidedLabel *line(const QString &text, const QFont &font, const QColor &colour, QWidget *parent)
{
    auto *l = new ElidedLabel(text, parent);
    l->setFont(font);
    setTextColour(l, colour);
    return l;
}

QWidget *divider(QWidget *parent)
{
    auto *rule = new QFrame(parent);
    rule->setFrameShape(QFrame::NoFrame);
    rule->setFixedHeight(1);
    rule->setAutoFillBackground(true);
    QPalette p = rule->palette();
    p.setColor(QPalette::Window, Style::quaternary(parent->palette()));
    rule->setPalette(p);
    return rule;
}

/// A name and its value beside it, in a column of such rows.
void addLabeledRow(QVBoxLayout *layout, const QString &name, const QString &value, QWidget *content)
{
    const QPalette &p = content->palette();
    auto *pair = new QHBoxLayout;
    QLabel *l = line(name, Style::font(12), Style::secondary(p), content);
    l->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    l->setFixedWidth(Style::pt(170));
    pair->addWidget(l);
    pair->addWidget(line(value, Style::fixedFont(12), p.color(QPalette::Text), content), 1);
    layout->addLayout(pair);
}

void addDelimiterRows(QVBoxLayout *layout, const X12Delimiters &d, QWidget *content)
{
    addLabeledRow(layout, QStringLiteral("Element separator"), delimiterDisplay(d.element),
                  content);
    addLabeledRow(layout, QStringLiteral("Component separator"), delimiterDisplay(d.component),
                  content);
    addLabeledRow(layout, QStringLiteral("Repetition separator"), delimiterDisplay(d.repetition),
                  content);
    addLabeledRow(layout, QStringLiteral("Segment terminator"), delimiterDisplay(d.segment),
                  content);
}

void collectTexts(const QWidget *widget, QStringList &texts)
{
    for (const QObject *child : widget->children()) {
        if (const auto *l = qobject_cast<const QLabel *>(child)) {
            texts << l->text();
        } else if (const auto *table = qobject_cast<const ElementTableView *>(child)) {
            const ElementTableModel *elements = table->elements();
            for (int r = 0; r < elements->rowCount(); ++r) {
                const ElementRow &row = elements->row(r);
                texts << row.ref << row.name << row.value;
                if (row.decoded)
                    texts << *row.decoded;
            }
        } else if (const auto *w = qobject_cast<const QWidget *>(child)) {
            collectTexts(w, texts);
        }
    }
}

/// A flat button whose text ends with "…" where it does not fit.
class ElidedButton : public QPushButton
{
public:
    using QPushButton::QPushButton;

    QSize minimumSizeHint() const override
    {
        return {Style::pt(60), QPushButton::sizeHint().height()};
    }
    QSize sizeHint() const override { return minimumSizeHint(); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        const QRect contents =
            style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
        option.text = fontMetrics().elidedText(text(), Qt::ElideRight, contents.width());
        painter.drawControl(QStyle::CE_PushButton, option);
    }
};

// Room around a cell's text, in points.
constexpr double cellPaddingX = 6;
constexpr double cellPaddingY = 4;

/// Text laid out in `width` as the desktop wraps it: at word boundaries, and anywhere within a
/// word wider than the line. Returns the height it takes.
int layOut(QTextLayout &layout, int width)
{
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    qreal y = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout.endLayout();
    return int(std::ceil(y));
}

int wrappedHeight(const QString &text, const QFont &font, int width)
{
    QTextLayout layout(text, font);
    return layOut(layout, width);
}

/// Draws wrapped text with its top-left at `topLeft`; returns the height it took.
int drawWrapped(QPainter *painter, const QString &text, const QFont &font, QPoint topLeft,
                int width)
{
    QTextLayout layout(text, font);
    const int height = layOut(layout, width);
    layout.draw(painter, topLeft);
    return height;
}

QFont cellFont(int column)
{
    switch (column) {
    case ElementTableModel::referenceColumn:
        return Style::fixedFont(10.5, QFont::Medium);
    case ElementTableModel::nameColumn:
        return Style::font(11.5);
    default:
        return Style::fixedFont(12, QFont::Medium);
    }
}

/// A cell of the element table: striped rows, wrapped text, and under a value its readable form.
class ElementDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        const QPalette &palette = option.palette;
        const bool selected = option.state & QStyle::State_Selected;
        painter->save();
        if (selected) {
            painter->fillRect(option.rect, palette.color(QPalette::Highlight));
        } else if (index.row() % 2 == 1) {
            QColor stripe = Style::quaternary(palette);
            stripe.setAlphaF(stripe.alphaF() * 0.5f);
            painter->fillRect(option.rect, stripe);
        }
        const QRect r = option.rect.adjusted(Style::pt(cellPaddingX), Style::pt(cellPaddingY),
                                             -Style::pt(cellPaddingX), -Style::pt(cellPaddingY));
        const QColor highlighted = palette.color(QPalette::HighlightedText);
        const QFont font = cellFont(index.column());
        painter->setFont(font);
        painter->setPen(selected ? highlighted
                        : index.column() == ElementTableModel::valueColumn
                            ? palette.color(QPalette::Text)
                            : Style::secondary(palette));
        const int used =
            drawWrapped(painter, index.data().toString(), font, r.topLeft(), r.width());
        const QVariant readable = index.data(ElementTableModel::ReadableRole);
        if (readable.isValid()) {
            painter->setPen(selected ? highlighted : Style::accent(palette));
            drawWrapped(painter, readable.toString(), Style::font(11),
                        r.topLeft() + QPoint(0, used + 1), r.width());
        }
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const int width = std::max(option.rect.width() - 2 * Style::pt(cellPaddingX), 20);
        const QString text = index.data().toString();
        const QFont font = cellFont(index.column());
        int height = wrappedHeight(text, font, width);
        const QVariant readable = index.data(ElementTableModel::ReadableRole);
        if (readable.isValid())
            height += 1 + wrappedHeight(readable.toString(), Style::font(11), width);
        const int natural = QFontMetrics(font).horizontalAdvance(text.left(200));
        return {natural + 2 * Style::pt(cellPaddingX), height + 2 * Style::pt(cellPaddingY)};
    }
};

} // namespace

std::vector<ElementRow> elementRows(const X12Segment &segment, std::size_t limit)
{
    std::vector<ElementRow> rows;
    const X12Dictionary::ElementVocabulary vocabulary(segment.tag());
    for (std::size_t i = 0; i < segment.elementCount() && rows.size() < limit; ++i) {
        const std::string_view value = segment.element(i);
        if (value.empty())
            continue;
        const auto position = std::ptrdiff_t(i + 1);
        const X12Dictionary::ElementDescription element = vocabulary.describe(position, value);
        ElementRow row;
        row.ref = shown(element.reference, DisplayText::maxLineLength);
        row.name = shown(element.name, DisplayText::maxLineLength);
        row.value = shown(value);
        if (element.reading != X12Dictionary::ElementDescription::Reading::plain)
            row.decoded = shown(element.readable);
        row.position = position;
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

QString loopLine(const X12Document &document, std::uint32_t segment)
{
    const auto loop = document.guideLoops().loopOf(segment);
    if (!loop)
        return {};
    return QStringLiteral("Loop %1 \u00B7 %2")
        .arg(QString::fromUtf8(loop->id.data(), qsizetype(loop->id.size())),
             QString::fromUtf8(loop->name.data(), qsizetype(loop->name.size())));
}

ElidedLabel::ElidedLabel(const QString &text, QWidget *parent) : QLabel(text, parent)
{
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setToolTip(text);
}

QSize ElidedLabel::minimumSizeHint() const
{
    return {0, QLabel::minimumSizeHint().height()};
}

void ElidedLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setFont(font());
    const QRect r = contentsRect();
    painter.drawText(r, int(alignment()) | Qt::TextSingleLine,
                     fontMetrics().elidedText(text(), Qt::ElideRight, r.width()));
}

ElementTableModel::ElementTableModel(QObject *parent) : QAbstractTableModel(parent) {}

void ElementTableModel::setRows(std::vector<ElementRow> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

int ElementTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ElementTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : columnCount_;
}

QVariant ElementTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || std::size_t(index.row()) >= m_rows.size())
        return {};
    const ElementRow &row = m_rows[std::size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case referenceColumn:
            return row.ref;
        case nameColumn:
            return row.name;
        default:
            return row.value;
        }
    case Qt::ToolTipRole:
        return index.column() == valueColumn && row.decoded ? row.value + u'\n' + *row.decoded
                                                            : data(index, Qt::DisplayRole);
    case ReadableRole:
        if (index.column() == valueColumn && row.decoded)
            return *row.decoded;
        return {};
    default:
        return {};
    }
}

ElementTableView::ElementTableView(QWidget *parent)
    : QTableView(parent), m_elements(new ElementTableModel(this))
{
    setModel(m_elements);
    setItemDelegate(new ElementDelegate(this));
    setWordWrap(true);
    setShowGrid(false);
    setFrameShape(QFrame::NoFrame);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setSizeAdjustPolicy(QAbstractScrollArea::AdjustIgnored);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    verticalHeader()->hide();
    horizontalHeader()->hide();
    horizontalHeader()->setStretchLastSection(true);
    QPalette p = palette();
    p.setColor(QPalette::Base, Qt::transparent);
    setPalette(p);
}

void ElementTableView::showSegment(std::shared_ptr<const X12Document> document,
                                   std::uint32_t segment)
{
    m_document = std::move(document);
    m_segment = segment;
    m_elements->setRows(m_document ? elementRows(m_document->segment(segment), DisplayText::maxRows)
                                   : std::vector<ElementRow>());
    fitRows();
}

void ElementTableView::fitRows()
{
    // The reference column as wide as its widest text; the name column too, as long as the
    // value keeps two fifths of what is left, beyond which names wrap; the value takes the rest.
    resizeColumnToContents(ElementTableModel::referenceColumn);
    const int available = viewport()->width() - columnWidth(ElementTableModel::referenceColumn);
    int name = 0;
    const QFontMetrics names(cellFont(ElementTableModel::nameColumn));
    for (int r = 0; r < m_elements->rowCount(); ++r)
        name = std::max(name, names.horizontalAdvance(m_elements->row(r).name));
    const int natural = name + 2 * Style::pt(cellPaddingX) + Style::pt(4);
    setColumnWidth(ElementTableModel::nameColumn,
                   std::min(natural, std::max(available * 3 / 5, Style::pt(60))));
    resizeRowsToContents();
    updateGeometry();
}

QSize ElementTableView::sizeHint() const
{
    int height = 0;
    for (int r = 0; r < m_elements->rowCount(); ++r)
        height += rowHeight(r);
    return {QTableView::sizeHint().width(), height + 2 * frameWidth()};
}

QSize ElementTableView::minimumSizeHint() const
{
    return {Style::pt(200), sizeHint().height()};
}

void ElementTableView::resizeEvent(QResizeEvent *event)
{
    QTableView::resizeEvent(event);
    fitRows();
}

QString ElementTableView::exactValue(int row) const
{
    if (!m_document)
        return {};
    const X12Segment segment = m_document->segment(m_segment);
    return DisplayText::exact(segment.elementAt(m_elements->row(row).position));
}

QString ElementTableView::selectedText() const
{
    QModelIndexList cells = selectionModel()->selectedIndexes();
    std::sort(cells.begin(), cells.end());
    QString text;
    int lastRow = -1;
    for (const QModelIndex &cell : cells) {
        if (lastRow >= 0)
            text += cell.row() == lastRow ? u'\t' : u'\n';
        lastRow = cell.row();
        text += cell.column() == ElementTableModel::valueColumn ? exactValue(cell.row())
                                                                : cell.data().toString();
    }
    return text;
}

void ElementTableView::contextMenuEvent(QContextMenuEvent *event)
{
    const QModelIndex index = indexAt(event->pos());
    QMenu menu(this);
    if (index.isValid()) {
        const int row = index.row();
        menu.addAction(QStringLiteral("Copy Value"), this,
                       [this, row] { QApplication::clipboard()->setText(exactValue(row)); });
        menu.addAction(QStringLiteral("Copy Element Reference"), this, [this, row] {
            QApplication::clipboard()->setText(m_elements->row(row).ref);
        });
    }
    if (m_document) {
        menu.addAction(QStringLiteral("Copy Segment"), this, [this] {
            QApplication::clipboard()->setText(
                DisplayText::exact(m_document->segment(m_segment).raw()));
        });
    }
    menu.exec(event->globalPos());
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
    m_table = nullptr;
    auto *content = new QWidget;
    Style::useTextBackground(content);
    const QPalette &palette = content->palette();
    auto *stack = new QVBoxLayout(content);
    const int margin = Style::pt(20);
    stack->setContentsMargins(margin, margin, margin, margin);
    stack->setSpacing(Style::pt(14));

    auto *header = new QVBoxLayout;
    header->setSpacing(Style::pt(3));
    header->addWidget(line(node.title, Style::title2(), palette.color(QPalette::Text), content));
    if (!node.subtitle.isEmpty())
        header->addWidget(
            line(node.subtitle, Style::callout(), Style::secondary(palette), content));
    if (!node.loop.isEmpty())
        header->addWidget(
            line(node.loop, Style::font(11, QFont::Medium), Style::secondary(palette), content));
    stack->addLayout(header);

    for (const QString &finding : node.findings) {
        QLabel *warning = label(QStringLiteral("\u26A0 ") + finding, Style::font(12, QFont::Medium),
                                QColor(0xD0, 0x6A, 0x00), content, true);
        warning->setWordWrap(true);
        stack->addWidget(warning);
    }
    if (node.segment && m_document) {
        const X12Segment segment = m_document->segment(*node.segment);
        auto *caption = new QHBoxLayout;
        caption->setSpacing(Style::pt(8));
        QLabel *tag =
            line(shown(segment.tag(), DisplayText::maxLineLength),
                 Style::fixedFont(12, QFont::Bold), palette.color(QPalette::Text), content);
        tag->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
        tag->setMaximumWidth(Style::pt(160));
        caption->addWidget(tag);
        caption->addWidget(
            line(shown(X12Dictionary::segmentName(segment.tag()), DisplayText::maxLineLength),
                 Style::font(12), Style::secondary(palette), content),
            1);
        caption->addWidget(label(QStringLiteral("segment #%1").arg(segment.position()),
                                 Style::fixedFont(10), Style::tertiary(palette), content));
        stack->addLayout(caption);

        m_table = new ElementTableView(content);
        m_table->showSegment(m_document, *node.segment);
        stack->addWidget(m_table);
        std::size_t present = 0;
        for (const std::string_view value : segment.elements())
            present += value.empty() ? 0u : 1u;
        const std::size_t listed = std::size_t(m_table->elements()->rowCount());
        if (present > listed) {
            QLabel *more = label(moreNote(present - listed, "elements"), Style::footnote(),
                                 Style::secondary(palette), content);
            more->setContentsMargins(Style::pt(6), 0, Style::pt(6), 0);
            stack->addWidget(more);
        }

        auto *raw = new QVBoxLayout;
        raw->setSpacing(Style::pt(4));
        raw->addWidget(label(QStringLiteral("RAW SEGMENT"), Style::font(9, QFont::DemiBold),
                             Style::secondary(palette), content));
        QLabel *text = label(shown(segment.raw()), Style::fixedFont(11),
                             palette.color(QPalette::Text), content, true);
        text->setWordWrap(true);
        text->setMargin(Style::pt(8));
        text->setAutoFillBackground(true);
        QPalette p = text->palette();
        p.setColor(QPalette::Window, Style::quaternary(palette));
        text->setPalette(p);
        raw->addWidget(text);
        stack->addLayout(raw);

        // An interchange's header declares the delimiters of its own segments.
        if (m_document->kind(*node.segment) == X12Node::Kind::interchange) {
            auto *delimiters = new QVBoxLayout;
            delimiters->setSpacing(Style::pt(12));
            addDelimiterRows(delimiters, m_document->delimitersAt(*node.segment), content);
            stack->addLayout(delimiters);
        }
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

DocumentSummaryView::DocumentSummaryView(WindowSession &session, QWidget *parent)
    : QScrollArea(parent), m_session(session)
{
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Style::useTextBackground(viewport());
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
    layout->addWidget(line(shown(document->fileName(), DisplayText::maxLineLength), Style::title2(),
                           p.color(QPalette::Text), content));
    layout->addWidget(line(shown(document->summaryLine(), DisplayText::maxLineLength),
                           Style::font(12), Style::secondary(p), content));
    layout->addWidget(divider(content));
    addDelimiterRows(layout, document->delimiters(), content);
    layout->addWidget(divider(content));
    const auto &codes = document->transactionSets();
    for (std::size_t i = 0; i < std::min(codes.size(), DisplayText::maxRows); ++i)
        addLabeledRow(
            layout, shown(codes[i], DisplayText::maxLineLength),
            shown(X12Dictionary::transactionSetName(codes[i]), DisplayText::maxLineLength),
            content);
    if (codes.size() > DisplayText::maxRows)
        layout->addWidget(label(moreNote(codes.size() - DisplayText::maxRows, "transaction sets"),
                                Style::footnote(), Style::secondary(p), content));
    if (const std::size_t count = document->findingCount(); count > 0) {
        layout->addWidget(divider(content));
        layout->addWidget(label(QStringLiteral("ENVELOPE FINDINGS"),
                                Style::font(9, QFont::DemiBold), Style::secondary(p), content));
        for (std::size_t i = 0; i < std::min(count, DisplayText::maxRows); ++i) {
            const X12Finding finding = document->finding(i);
            const QString text = QStringLiteral("\u26A0 segment %1: %2")
                                     .arg(finding.position)
                                     .arg(shown(finding.message, DisplayText::maxLineLength));
            auto *button = new ElidedButton(text, content);
            button->setToolTip(text);
            button->setFlat(true);
            button->setStyleSheet(QStringLiteral("text-align: left; color: #d06a00;"));
            button->setCursor(Qt::PointingHandCursor);
            button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
            const std::uint32_t segment = finding.position - 1;
            connect(button, &QPushButton::clicked, this,
                    [this, segment] { emit findingActivated(segment); });
            layout->addWidget(button);
        }
        if (count > DisplayText::maxRows)
            layout->addWidget(label(moreNote(count - DisplayText::maxRows, "findings"),
                                    Style::footnote(), Style::secondary(p), content));
    }
    layout->addStretch(1);
    layout->addWidget(label(QStringLiteral("Select a node on the left to inspect it."),
                            Style::footnote(), Style::tertiary(p), content));
    setWidget(content);
}

QStringList DocumentSummaryView::texts() const
{
    QStringList all;
    if (widget())
        collectTexts(widget(), all);
    return all;
}
