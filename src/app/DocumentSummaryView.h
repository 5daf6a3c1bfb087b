#pragma once

#include <QScrollArea>
#include <QStringList>

#include <cstdint>

class QVBoxLayout;
class WindowSession;
class X12Document;

/// The summary of the whole document, shown when nothing is selected. It scrolls, whatever its
/// length.
class DocumentSummaryView : public QScrollArea
{
    Q_OBJECT

public:
    explicit DocumentSummaryView(WindowSession &session, QWidget *parent = nullptr);
    void refresh();
    QStringList texts() const;

signals:
    /// A finding was clicked: show the segment at this index.
    void findingActivated(std::uint32_t segment);

protected:
    void changeEvent(QEvent *event) override;

private:
    /// The envelope findings, each a button that shows its segment.
    void addFindings(QVBoxLayout *layout, const X12Document &document, QWidget *content);

    WindowSession &m_session;
};
