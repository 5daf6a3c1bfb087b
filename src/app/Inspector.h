#pragma once

#include <QLabel>
#include <QScrollArea>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

class AppModel;
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
};

/// The findings about one segment (by index), as "error: message" texts.
QStringList findingsAbout(const X12Document &document, std::uint32_t segment);

/// The inspector of a selected node: header, element table, raw segment and the children line.
class SegmentDetailView : public QScrollArea
{
    Q_OBJECT

public:
    explicit SegmentDetailView(QWidget *parent = nullptr);
    void inspect(std::shared_ptr<const X12Document> document, const InspectedNode &node);
    /// The texts on screen, top to bottom, for tests.
    QStringList texts() const;

private:
    std::shared_ptr<const X12Document> m_document;
};

/// The summary of the whole document, shown when nothing is selected.
class DocumentSummaryView : public QWidget
{
    Q_OBJECT

public:
    explicit DocumentSummaryView(AppModel &model, QWidget *parent = nullptr);
    void refresh();
    QStringList texts() const;

signals:
    /// A finding was clicked: show the segment at this index.
    void findingActivated(std::uint32_t segment);

private:
    AppModel &m_model;
    QVBoxLayout *m_layout;
};
