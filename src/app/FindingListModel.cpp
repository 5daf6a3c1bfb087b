#include "app/FindingListModel.h"

#include "app/DisplayText.h"
#include "app/FindingList.h"
#include "app/Style.h"
#include "core/dictionary/X12Dictionary.h"

#include <QColor>

using DisplayText::shown;

namespace {

// The red of errors, read on light and dark backgrounds alike.
const QColor errorRed(0xD7, 0x3A, 0x31);

} // namespace

FindingListModel::FindingListModel(QObject *parent)
    : QAbstractTableModel(parent), m_errorIcon(Style::symbol(Style::Symbol::warning, errorRed)),
      m_warningIcon(Style::symbol(Style::Symbol::warning, Style::warning()))
{
}

void FindingListModel::setFindings(std::shared_ptr<const FindingList> findings)
{
    m_findings = std::move(findings);
    refilter();
}

void FindingListModel::filter(Severities severities, const QString &query)
{
    m_severities = severities;
    m_query = query.trimmed().toUtf8();
    refilter();
}

void FindingListModel::refilter()
{
    beginResetModel();
    const std::optional<X12Finding::Severity> severity =
        m_severities == Severities::errors     ? std::optional(X12Finding::Severity::error)
        : m_severities == Severities::warnings ? std::optional(X12Finding::Severity::warning)
                                               : std::nullopt;
    const std::string_view query(m_query.constData(), std::size_t(m_query.size()));
    m_rows = m_findings ? m_findings->matching(severity, query) : std::vector<std::uint32_t>();
    endResetModel();
}

int FindingListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int FindingListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : columnCount_;
}

QVariant FindingListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || std::size_t(index.row()) >= m_rows.size())
        return {};
    const std::size_t i = m_rows[std::size_t(index.row())];
    const bool error = m_findings->severity(i) == X12Finding::Severity::error;
    switch (role) {
    case SegmentRole:
        return m_findings->segment(i);
    case Qt::DecorationRole:
        if (index.column() == severityColumn)
            return error ? m_errorIcon : m_warningIcon;
        return {};
    case Qt::TextAlignmentRole:
        if (index.column() == segmentColumn)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        break;
    default:
        return {};
    }
    switch (index.column()) {
    case severityColumn:
        return error ? QStringLiteral("Error") : QStringLiteral("Warning");
    case segmentColumn:
        return QString::number(m_findings->segment(i) + 1);
    case tagColumn:
        return shown(m_findings->tag(i), DisplayText::maxLineLength);
    default:
        break;
    }
    const FindingList::Item item = m_findings->item(i);
    switch (index.column()) {
    case loopColumn:
        return QString::fromUtf8(item.loop.data(), qsizetype(item.loop.size()));
    case elementColumn:
        return shown(item.element, DisplayText::maxLineLength);
    default:
        return shown(item.message,
                     role == Qt::ToolTipRole ? DisplayText::maxLength : DisplayText::maxLineLength);
    }
}

QVariant FindingListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case severityColumn:
        return QStringLiteral("Severity");
    case segmentColumn:
        return QStringLiteral("Segment");
    case tagColumn:
        return QStringLiteral("Tag");
    case loopColumn:
        return QStringLiteral("Loop");
    case elementColumn:
        return QStringLiteral("Element");
    default:
        return QStringLiteral("Message");
    }
}
