#include "app/FindingsPanel.h"

#include "app/FindingList.h"
#include "app/FindingListModel.h"
#include "app/Style.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

/// Lists at most this long are filtered at each key; longer ones once the typing pauses.
constexpr std::size_t filteredAtOnce = 20'000;

QString counted(std::size_t count, const char *one, const char *many)
{
    return QStringLiteral("%L1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
}

} // namespace

FindingsPanel::FindingsPanel(QWidget *parent)
    : QWidget(parent), m_counts(new QLabel(this)), m_severity(new QComboBox(this)),
      m_filter(new QLineEdit(this)), m_list(new QTreeView(this)),
      m_model(new FindingListModel(this)), m_typing(new QTimer(this))
{
    auto *title = new QLabel(QStringLiteral("FINDINGS"), this);
    title->setFont(Style::font(9, QFont::DemiBold));
    Style::setTextColour(title, Style::secondary);
    m_counts->setFont(Style::footnote());
    m_counts->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_severity->addItems(
        {QStringLiteral("All Severities"), QStringLiteral("Errors"), QStringLiteral("Warnings")});
    m_severity->setToolTip(QStringLiteral("Show the findings of one severity"));
    m_filter->setPlaceholderText(QStringLiteral("Filter findings"));
    m_filter->setClearButtonEnabled(true);
    m_filter->setMaximumWidth(Style::pt(220));

    auto *bar = new QHBoxLayout;
    bar->setContentsMargins(Style::pt(8), Style::pt(4), Style::pt(8), Style::pt(4));
    bar->setSpacing(Style::pt(8));
    bar->addWidget(title);
    bar->addWidget(m_counts, 1);
    bar->addWidget(m_severity);
    bar->addWidget(m_filter, 1);

    m_list->setModel(m_model);
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAlternatingRowColors(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setAllColumnsShowFocus(true);
    m_list->header()->setStretchLastSection(true);
    m_list->header()->setSectionsMovable(false);
    const QFontMetrics metrics(m_list->font());
    m_list->setColumnWidth(FindingListModel::severityColumn,
                           metrics.horizontalAdvance(QStringLiteral("Warning")) + Style::pt(34));
    m_list->setColumnWidth(FindingListModel::segmentColumn,
                           metrics.horizontalAdvance(QStringLiteral("Segment")) + Style::pt(16));
    m_list->setColumnWidth(FindingListModel::tagColumn,
                           metrics.horizontalAdvance(QStringLiteral("Tag")) + Style::pt(28));
    m_list->setColumnWidth(FindingListModel::loopColumn,
                           metrics.horizontalAdvance(QStringLiteral("2010AAA")) + Style::pt(16));
    m_list->setColumnWidth(FindingListModel::elementColumn,
                           metrics.horizontalAdvance(QStringLiteral("CLM05-01")) + Style::pt(16));

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addLayout(bar);
    column->addWidget(m_list, 1);

    m_typing->setSingleShot(true);
    m_typing->setInterval(150);
    connect(m_typing, &QTimer::timeout, this, &FindingsPanel::applyFilter);
    connect(m_severity, &QComboBox::currentIndexChanged, this, &FindingsPanel::applyFilter);
    connect(m_filter, &QLineEdit::textChanged, this, [this] {
        const FindingList *findings = m_model->findings();
        if (findings && findings->size() > filteredAtOnce)
            m_typing->start();
        else
            applyFilter();
    });
    // A click, Enter, or the arrow keys: each shows the finding's segment.
    const auto choose = [this](const QModelIndex &index) {
        if (index.isValid())
            emit segmentChosen(index.data(FindingListModel::SegmentRole).toUInt());
    };
    connect(m_list, &QTreeView::clicked, this, choose);
    connect(m_list, &QTreeView::activated, this, choose);
    connect(m_list->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this, choose](const QModelIndex &current) {
                if (m_list->hasFocus())
                    choose(current);
            });
    refreshCounts();
}

void FindingsPanel::setFindings(std::shared_ptr<const FindingList> findings)
{
    m_typing->stop();
    m_model->setFindings(std::move(findings));
    applyFilter();
}

void FindingsPanel::applyFilter()
{
    m_typing->stop();
    // The choices are in the order of the model's Severities.
    m_model->filter(FindingListModel::Severities(std::max(m_severity->currentIndex(), 0)),
                    m_filter->text());
    refreshCounts();
}

void FindingsPanel::refreshCounts()
{
    const FindingList *findings = m_model->findings();
    const std::size_t total = findings ? findings->size() : 0;
    if (total == 0) {
        m_counts->setText(QStringLiteral("No findings"));
        return;
    }
    QString text = counted(findings->errorCount(), "error", "errors") + QStringLiteral(" \u00B7 ") +
                   counted(findings->warningCount(), "warning", "warnings");
    const auto shown = std::size_t(m_model->rowCount());
    if (shown != total)
        text += QStringLiteral(" \u00B7 %L1 shown").arg(shown);
    m_counts->setText(text);
}
