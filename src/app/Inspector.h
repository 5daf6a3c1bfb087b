#pragma once

#include <QAbstractTableModel>
#include <QLabel>
#include <QScrollArea>
#include <QString>
#include <QTableView>
#include <QWidget>

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

class WindowSession;
class QVBoxLayout;
class X12Document;
class X12Segment;

/// One row of the element table: a non-empty element with its reference, name and readable form.
struct ElementRow
{
    QString ref;
    QString name;
    QString value;
    std::optional<QString> decoded;
    std::ptrdiff_t position = 0; // of the element in its segment, from 1
};

/// The rows of a segment's element table, empty elements left out without renumbering; at most
/// `limit` rows.
std::vector<ElementRow> elementRows(const X12Segment &segment,
                                    std::size_t limit = std::numeric_limits<std::size_t>::max());

/// How a delimiter is shown: "\n (newline)", "\r", the character itself, or "0x1D" for other
/// control characters.
QString delimiterDisplay(const std::string &delimiter);

/// What the inspector shows: a node of the tree, or a node made on the spot for one segment.
struct InspectedNode
{
    QString title;
    QString subtitle;
    std::optional<std::uint32_t> segment; // index of the node's segment
    std::size_t childCount = 0;
    QStringList findings; // envelope findings about the segment
    QString loop;         // "Loop 2010AA · Billing Provider Name", or empty
};

/// The guide loop a segment (by index) is in, as the inspector's header names it, or empty.
QString loopLine(const X12Document &document, std::uint32_t segment);

/// The findings about one segment (by index), as "error: message" texts.
QStringList findingsAbout(const X12Document &document, std::uint32_t segment);

/// A one-line label that ends its text with "…" where it does not fit, and shows it whole in its
/// tooltip; text() keeps the whole text.
class ElidedLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ElidedLabel(const QString &text, QWidget *parent = nullptr);
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};

/// A segment's elements: reference, name, and value with its readable form under it.
class ElementTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { referenceColumn, nameColumn, valueColumn, columnCount_ };
    /// The readable form (formatted or decoded) of the value column, or nothing.
    static constexpr int ReadableRole = Qt::UserRole + 1;

    explicit ElementTableModel(QObject *parent = nullptr);
    void setRows(std::vector<ElementRow> rows);
    const ElementRow &row(int index) const { return m_rows[std::size_t(index)]; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

private:
    std::vector<ElementRow> m_rows;
};

/// The element table of the inspector: as tall as its rows, so the inspector scrolls it with the
/// rest; names and values wrap. Values can be selected and copied.
class ElementTableView : public QTableView
{
    Q_OBJECT

public:
    explicit ElementTableView(QWidget *parent = nullptr);
    void showSegment(std::shared_ptr<const X12Document> document, std::uint32_t segment);
    ElementTableModel *elements() const { return m_elements; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    /// The exact texts (not cut for display) of the selected cells, rows on lines and cells
    /// separated by tabs.
    QString selectedText() const;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void fitRows();
    QString exactValue(int row) const;

    ElementTableModel *m_elements;
    std::shared_ptr<const X12Document> m_document;
    std::uint32_t m_segment = 0;
};

/// The inspector of a selected node: header, element table, raw segment and the children line.
class SegmentDetailView : public QScrollArea
{
    Q_OBJECT

public:
    explicit SegmentDetailView(QWidget *parent = nullptr);
    void inspect(std::shared_ptr<const X12Document> document, const InspectedNode &node);
    /// The texts on screen, top to bottom, for tests.
    QStringList texts() const;
    /// The element table of the segment shown, if any.
    ElementTableView *table() const { return m_table; }

private:
    std::shared_ptr<const X12Document> m_document;
    ElementTableView *m_table = nullptr;
};

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

private:
    WindowSession &m_session;
};
