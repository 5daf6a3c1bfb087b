#pragma once

#include <QTextEdit>

/// Read-only text in the inspector and the summary. It wraps within its column, at word
/// boundaries and, within a word wider than the column (base64, a long reference), anywhere; it is
/// as tall as its lines, and its text can be selected and copied whole. In a bold font, control
/// pictures take the regular weight: the regular faces are the only ones that have them.
class SelectableText : public QTextEdit
{
    Q_OBJECT

public:
    SelectableText(const QString &text, const QFont &font, const QColor &colour,
                   QWidget *parent = nullptr);

    QString text() const { return toPlainText(); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    /// The inspector scrolls, not the text.
    void wheelEvent(QWheelEvent *event) override;

private:
    int contentHeight() const;

    int m_naturalWidth;      // of the longest line, unwrapped
    int m_fittedHeight = -1; // the height the layout was last told of
};
