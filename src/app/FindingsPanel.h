#pragma once

#include <QWidget>

#include <cstdint>
#include <memory>

class FindingList;
class FindingListModel;
class QComboBox;
class QLabel;
class QLineEdit;
class QTimer;
class QTreeView;

/// The findings of the document shown, under the views: their counts, a choice of severity and
/// a filter text above the list; choosing a finding shows its segment.
class FindingsPanel : public QWidget
{
    Q_OBJECT

public:
    explicit FindingsPanel(QWidget *parent = nullptr);

    void setFindings(std::shared_ptr<const FindingList> findings);

    QLabel *counts() const { return m_counts; }
    QComboBox *severity() const { return m_severity; }
    QLineEdit *filterField() const { return m_filter; }
    QTreeView *list() const { return m_list; }
    FindingListModel *model() const { return m_model; }

signals:
    /// A finding was chosen (clicked, or reached with the keys): show this segment (from 0).
    void segmentChosen(std::uint32_t segment);

private:
    void applyFilter();
    void refreshCounts();

    QLabel *m_counts;
    QComboBox *m_severity;
    QLineEdit *m_filter;
    QTreeView *m_list;
    FindingListModel *m_model;
    QTimer *m_typing; // lets a long list wait for a pause in the typing
};
