#include "app/ElementTableModel.h"

#include "app/DisplayText.h"
#include "core/dictionary/X12Dictionary.h"
#include "core/model/X12Document.h"

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
