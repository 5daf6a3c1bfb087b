#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

class X12Segment;

/// One row of the element table: a non-empty element with its reference, name and readable form.
struct ElementRow
{
    QString ref;
    QString name;
    QString value;
    std::optional<QString> decoded;
    std::ptrdiff_t position = 0; // of the element in its segment, from 1
    QStringList findings;        // about this element, as "error: message"
};

/// The rows of a segment's element table, empty elements left out without renumbering; at most
/// `limit` rows.
std::vector<ElementRow> elementRows(const X12Segment &segment,
                                    std::size_t limit = std::numeric_limits<std::size_t>::max());

/// A segment's elements: reference, name, and value with its readable form under it.
class ElementTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { referenceColumn, nameColumn, valueColumn, columnCount_ };
    /// The readable form (formatted or decoded) of the value column, or nothing.
    static constexpr int ReadableRole = Qt::UserRole + 1;
    /// The findings about the row's element, each after a warning sign and on a line of its
    /// own (value column), or nothing.
    static constexpr int FindingsRole = Qt::UserRole + 2;

    explicit ElementTableModel(QObject *parent = nullptr);
    void setRows(std::vector<ElementRow> rows);
    /// Puts each finding on the row of the element it names; returns those with no such row.
    std::vector<QString> placeFindings(std::vector<std::pair<std::ptrdiff_t, QString>> findings);
    const ElementRow &row(int index) const { return m_rows[std::size_t(index)]; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

private:
    std::vector<ElementRow> m_rows;
};
