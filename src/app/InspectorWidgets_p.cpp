#include "app/InspectorWidgets_p.h"

#include "app/DisplayText.h"
#include "app/ElementTableModel.h"
#include "app/ElementTableView.h"
#include "app/ElidedLabel.h"
#include "app/SelectableText.h"
#include "app/Style.h"
#include "core/model/X12Document.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

void setTextColour(QWidget *widget, const QColor &colour)
{
    QPalette p = widget->palette();
    p.setColor(QPalette::WindowText, colour);
    p.setColor(QPalette::ButtonText, colour);
    widget->setPalette(p);
}

void collectTexts(const QWidget *widget, QStringList &texts)
{
    for (const QObject *child : widget->children()) {
        if (const auto *l = qobject_cast<const QLabel *>(child)) {
            texts << l->text();
        } else if (const auto *selectable = qobject_cast<const SelectableText *>(child)) {
            texts << selectable->text();
        } else if (const auto *table = qobject_cast<const ElementTableView *>(child)) {
            const ElementTableModel *elements = table->elements();
            for (int r = 0; r < elements->rowCount(); ++r) {
                const ElementRow &row = elements->row(r);
                texts << row.ref << row.name << row.value;
                if (row.decoded)
                    texts << *row.decoded;
            }
        } else if (const auto *w = qobject_cast<const QWidget *>(child)) {
            collectTexts(w, texts);
        }
    }
}

} // namespace

namespace detail {

QString moreNote(std::size_t count, const char *what)
{
    return QStringLiteral("\u2026 and %1 more %2").arg(count).arg(QLatin1String(what));
}

QLabel *label(const QString &text, const QFont &font, const QColor &colour, QWidget *parent,
              bool selectable)
{
    auto *l = new QLabel(text, parent);
    l->setFont(font);
    l->setTextFormat(Qt::PlainText);
    setTextColour(l, colour);
    if (selectable)
        l->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return l;
}

ElidedLabel *line(const QString &text, const QFont &font, const QColor &colour, QWidget *parent)
{
    auto *l = new ElidedLabel(text, parent);
    l->setFont(font);
    setTextColour(l, colour);
    return l;
}

SelectableText *text(const QString &text, const QFont &font, const QColor &colour, QWidget *parent)
{
    return new SelectableText(text, font, colour, parent);
}

QWidget *divider(QWidget *parent)
{
    auto *rule = new QFrame(parent);
    rule->setFrameShape(QFrame::NoFrame);
    rule->setFixedHeight(1);
    rule->setAutoFillBackground(true);
    QPalette p = rule->palette();
    p.setColor(QPalette::Window, Style::quaternary(parent->palette()));
    rule->setPalette(p);
    return rule;
}

void addLabeledRow(QVBoxLayout *layout, const QString &name, const QString &value, QWidget *content)
{
    const QPalette &p = content->palette();
    auto *pair = new QHBoxLayout;
    QLabel *l = line(name, Style::font(12), Style::secondary(p), content);
    l->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    l->setFixedWidth(Style::pt(170));
    pair->addWidget(l, 0, Qt::AlignTop);
    pair->addWidget(text(value, Style::fixedFont(12), p.color(QPalette::Text), content), 1);
    layout->addLayout(pair);
}

void addDelimiterRows(QVBoxLayout *layout, const X12Delimiters &d, QWidget *content)
{
    using DisplayText::delimiter;
    addLabeledRow(layout, QStringLiteral("Element separator"), delimiter(d.element), content);
    addLabeledRow(layout, QStringLiteral("Component separator"), delimiter(d.component), content);
    addLabeledRow(layout, QStringLiteral("Repetition separator"), delimiter(d.repetition), content);
    addLabeledRow(layout, QStringLiteral("Segment terminator"), delimiter(d.segment), content);
}

QStringList texts(const QWidget *widget)
{
    QStringList all;
    if (widget)
        collectTexts(widget, all);
    return all;
}

} // namespace detail
