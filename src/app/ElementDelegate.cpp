#include "app/ElementDelegate.h"

#include "app/ElementTableModel.h"
#include "app/Style.h"

#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace {

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

/// Draws text on one line in `rect`, cut with "…" where it does not fit; returns its height.
int drawLine(QPainter *painter, const QString &text, const QFont &font, const QRect &rect)
{
    const QFontMetrics metrics(font);
    painter->drawText(rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                      metrics.elidedText(text, Qt::ElideRight, rect.width()));
    return metrics.height();
}

} // namespace

int ElementDelegate::referenceWidth(const QString &reference)
{
    return int(std::ceil(QFontMetricsF(cellFont(ElementTableModel::referenceColumn))
                             .horizontalAdvance(reference))) +
           2 * Style::pt(cellPaddingX) + 1;
}

QFont ElementDelegate::cellFont(int column)
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

void ElementDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                            const QModelIndex &index) const
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
    const QVariant findings =
        index.siblingAtColumn(ElementTableModel::valueColumn).data(ElementTableModel::FindingsRole);
    // The reference of an element with a finding takes the warning's colour.
    painter->setPen(selected ? highlighted
                    : index.column() == ElementTableModel::valueColumn
                        ? palette.color(QPalette::Text)
                    : index.column() == ElementTableModel::referenceColumn && findings.isValid()
                        ? Style::warning(Style::WarningUse::text)
                        : Style::secondary(palette));
    // A reference stays on one line: "NM101" broken after "NM10" reads as two references.
    int used = index.column() == ElementTableModel::referenceColumn
                   ? drawLine(painter, index.data().toString(), font, r)
                   : drawWrapped(painter, index.data().toString(), font, r.topLeft(), r.width());
    const QVariant readable = index.data(ElementTableModel::ReadableRole);
    if (readable.isValid()) {
        painter->setPen(selected ? highlighted : Style::accent(palette));
        used += 1 + drawWrapped(painter, readable.toString(), Style::font(11),
                                r.topLeft() + QPoint(0, used + 1), r.width());
    }
    if (index.column() == ElementTableModel::valueColumn && findings.isValid()) {
        painter->setPen(selected ? highlighted : Style::warning(Style::WarningUse::text));
        drawWrapped(painter, findings.toString(), Style::font(11, QFont::Medium),
                    r.topLeft() + QPoint(0, used + 1), r.width());
    }
    painter->restore();
}

QSize ElementDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const int width = std::max(option.rect.width() - 2 * Style::pt(cellPaddingX), 20);
    const QString text = index.data().toString();
    const QFont font = cellFont(index.column());
    if (index.column() == ElementTableModel::referenceColumn)
        return {referenceWidth(text), QFontMetrics(font).height() + 2 * Style::pt(cellPaddingY)};
    int height = wrappedHeight(text, font, width);
    const QVariant readable = index.data(ElementTableModel::ReadableRole);
    if (readable.isValid())
        height += 1 + wrappedHeight(readable.toString(), Style::font(11), width);
    const QVariant findings = index.data(ElementTableModel::FindingsRole);
    if (findings.isValid())
        height += 1 + wrappedHeight(findings.toString(), Style::font(11, QFont::Medium), width);
    const int natural = QFontMetrics(font).horizontalAdvance(text.left(200));
    return {natural + 2 * Style::pt(cellPaddingX), height + 2 * Style::pt(cellPaddingY)};
}
