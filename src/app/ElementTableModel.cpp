#include "app/ElementTableModel.h"

#include "app/DisplayText.h"
#include "core/dictionary/X12Dictionary.h"
#include "core/model/X12Document.h"

#include <algorithm>

using DisplayText::shown;

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

ElementTableModel::ElementTableModel(QObject *parent) : QAbstractTableModel(parent) {}

void ElementTableModel::setRows(std::vector<ElementRow> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

std::vector<QString>
ElementTableModel::placeFindings(std::vector<std::pair<std::ptrdiff_t, QString>> findings)
{
    std::vector<QString> unplaced;
    for (auto &[position, text] : findings) {
        // Rows are in element order.
        const auto row = std::ranges::lower_bound(m_rows, position, {}, &ElementRow::position);
        if (position > 0 && row != m_rows.end() && row->position == position)
            row->findings << std::move(text);
        else
            unplaced.push_back(std::move(text));
    }
    if (!m_rows.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount_ - 1));
    return unplaced;
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
    case Qt::ToolTipRole: {
        QString tip = index.column() == valueColumn && row.decoded
                          ? row.value + u'\n' + *row.decoded
                          : data(index, Qt::DisplayRole).toString();
        if (!row.findings.isEmpty())
            tip += u'\n' + data(index.siblingAtColumn(valueColumn), FindingsRole).toString();
        return tip;
    }
    case FindingsRole:
        if (index.column() != valueColumn || row.findings.isEmpty())
            return {};
        // One a line: a line separator is what breaks the line where the delegate lays it out.
        return QStringLiteral("\u26A0 ") + row.findings.join(QStringLiteral("\u2028\u26A0 "));
    case ReadableRole:
        if (index.column() == valueColumn && row.decoded)
            return *row.decoded;
        return {};
    default:
        return {};
    }
}
