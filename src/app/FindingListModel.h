#pragma once

#include <QAbstractTableModel>
#include <QIcon>

#include <cstdint>
#include <memory>
#include <vector>

class FindingList;

/// The findings of the document shown, a row each, as far as a severity and a text let them
/// through. Rows are composed when drawn, so a list of 100,000 findings costs only its indices.
class FindingListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        severityColumn,
        segmentColumn,
        tagColumn,
        loopColumn,
        elementColumn,
        messageColumn,
        columnCount_
    };
    /// The index (from 0) of the row's segment (quint32).
    static constexpr int SegmentRole = Qt::UserRole + 1;

    explicit FindingListModel(QObject *parent = nullptr);

    /// The findings to list (null: none), every one of them until filtered.
    void setFindings(std::shared_ptr<const FindingList> findings);
    enum class Severities { all, errors, warnings };
    /// Lists only the findings of those severities that hold `query`.
    void filter(Severities severities, const QString &query);
    const FindingList *findings() const { return m_findings.get(); }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    void refilter();

    std::shared_ptr<const FindingList> m_findings;
    std::vector<std::uint32_t> m_rows; // indices into m_findings
    Severities m_severities = Severities::all;
    QByteArray m_query; // UTF-8
    QIcon m_errorIcon;
    QIcon m_warningIcon;
};
