#pragma once

// The pieces the two inspectors (a segment's detail, the document's summary) are built from.

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <utility>
#include <vector>

class ElidedLabel;
class QLabel;
class SelectableText;
class QVBoxLayout;
class QWidget;
struct X12Delimiters;

namespace detail {

/// "… and 1,011 more elements" (or "… and 1 more element"): the note under a list that was cut
/// short.
QString moreNote(std::size_t count, const char *one, const char *many);

/// A label for text that may wrap (or, with `selectable`, be selected and copied).
QLabel *label(const QString &text, const QFont &font, const QColor &colour, QWidget *parent,
              bool selectable = false);

/// A one-line label, cut with "…" when its column is too narrow.
ElidedLabel *line(const QString &text, const QFont &font, const QColor &colour, QWidget *parent);

/// Text from the document, or about it, that wraps within its column and can be selected.
SelectableText *text(const QString &text, const QFont &font, const QColor &colour, QWidget *parent);

/// A thin rule across the inspector.
QWidget *divider(QWidget *parent);

/// A name and its value beside it (selectable), in a column of such rows.
void addLabeledRow(QVBoxLayout *layout, const QString &name, const QString &value,
                   QWidget *content);

/// Rows laid out as addLabeledRow lays them out, in one selectable text: a thousand rows of
/// widgets of their own would take a second to make. A name wider than its column is cut.
void addLabeledRows(QVBoxLayout *layout, const std::vector<std::pair<QString, QString>> &rows,
                    QWidget *content);

/// The four delimiters, each a labelled row.
void addDelimiterRows(QVBoxLayout *layout, const X12Delimiters &delimiters, QWidget *content);

/// The texts of the labels and element tables under `widget`, top to bottom, for tests.
QStringList texts(const QWidget *widget);

} // namespace detail
