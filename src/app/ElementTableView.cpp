#include "app/ElementTableView.h"

#include "app/DisplayText.h"
#include "app/ElementDelegate.h"
#include "app/ElementTableModel.h"
#include "app/Style.h"
#include "core/model/X12Document.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>

#include <algorithm>

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

std::vector<QString>
ElementTableView::showSegment(std::shared_ptr<const X12Document> document, std::uint32_t segment,
                              std::vector<std::pair<std::ptrdiff_t, QString>> findings)
{
    m_document = std::move(document);
    m_segment = segment;
    m_elements->setRows(m_document ? elementRows(m_document->segment(segment), DisplayText::maxRows)
                                   : std::vector<ElementRow>());
    std::vector<QString> unplaced = m_elements->placeFindings(std::move(findings));
    fitRows();
    return unplaced;
}

void ElementTableView::fitRows()
{
    // The reference column as wide as its widest reference, up to a third of the table (a
    // longer one, of a runaway tag, is cut with "…" and whole in its tooltip); the name column
    // as wide as its widest name, as long as the value keeps two fifths of what is left, beyond
    // which names wrap; the value takes the rest.
    int reference = 0, name = 0;
    const QFontMetrics names(ElementDelegate::cellFont(ElementTableModel::nameColumn));
    for (int r = 0; r < m_elements->rowCount(); ++r) {
        reference = std::max(reference, ElementDelegate::referenceWidth(m_elements->row(r).ref));
        name = std::max(name, names.horizontalAdvance(m_elements->row(r).name));
    }
    setColumnWidth(ElementTableModel::referenceColumn,
                   std::min(reference, std::max(viewport()->width() / 3, Style::pt(60))));
    const int available = viewport()->width() - columnWidth(ElementTableModel::referenceColumn);
    const int natural = name + 2 * Style::pt(ElementDelegate::cellPaddingX) + Style::pt(4);
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
