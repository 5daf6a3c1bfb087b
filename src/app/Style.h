#pragma once

#include "core/model/X12Document.h"

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QList>
#include <QPalette>
#include <QTextLayout>

#include <functional>
#include <memory>

class QPainter;
class QWidget;

/// Fonts, colours and icons of the window, from the desktop's palette so light and dark themes
/// both work. Sizes are in points.
namespace Style {

QFont font(double points, QFont::Weight weight = QFont::Normal);
QFont fixedFont(double points, QFont::Weight weight = QFont::Normal);

// Text styles.
inline QFont title2()
{
    return font(17, QFont::DemiBold);
}
inline QFont title3()
{
    return font(15);
}
inline QFont callout()
{
    return font(12);
}
inline QFont footnote()
{
    return font(10);
}

QColor secondary(const QPalette &palette);  // text at reduced opacity
QColor tertiary(const QPalette &palette);   // placeholder text
QColor accent(const QPalette &palette);     // highlight
QColor quaternary(const QPalette &palette); // mid tone for fills

/// Where the warning orange is used: marks, icons and tinted strips take it as it is; text takes
/// a darker shade, which still reads on a light background.
enum class WarningUse { mark, text };
/// The orange of warnings and findings, the same in light and dark themes.
QColor warning(WarningUse use = WarningUse::mark);

/// The icon of a tree node's kind, in the kind's colour.
QIcon kindIcon(X12Node::Kind kind, const QPalette &palette);
QFont::Weight kindWeight(X12Node::Kind kind);

enum class Symbol { folder, export_, searchDocument, warning };
/// A symbol from the freedesktop icon theme, or a drawn one where the theme has none.
QIcon symbol(Symbol symbol, const QColor &colour);

/// `share` of the way from one colour to another (0: `from`, 1: `to`).
QColor blend(const QColor &from, const QColor &to, double share);
/// Calls `apply` now and whenever `widget`'s palette changes (the appearance turns light or dark):
/// colours a widget derives from its palette follow it.
void followPalette(QWidget *widget, std::function<void()> apply);
/// Fills a widget with the window's text background (the palette's Base), as text views are.
void useTextBackground(QWidget *widget);
/// Fills a widget, a strip above the content, with a faint tint of `colour`.
void tint(QWidget *widget, std::function<QColor()> colour);
/// Sets the colour of a label's text (the palette's WindowText) to `colour` of its palette.
void setTextColour(QWidget *widget, std::function<QColor(const QPalette &)> colour);

/// Where `text` has control pictures (␛, ␊) and `font` is bolder than regular, those characters
/// in the regular weight: the regular faces are the only ones that have them, and a bold face
/// would draw empty boxes. Empty otherwise.
QList<QTextLayout::FormatRange> regularControlPictures(const QString &text, const QFont &font);
/// `text` laid out on one line in `font`, with its control pictures as regularControlPictures
/// sets them.
std::unique_ptr<QTextLayout> lineLayout(const QString &text, const QFont &font);
/// Draws `text` in `font` on one line whose baseline starts at `origin`, cut with "…" to
/// `width`, with the painter's pen; control pictures in a bold font come from the regular face.
void drawLine(QPainter *painter, QPoint origin, const QString &text, const QFont &font, int width);

/// A length in points as device-independent pixels: a point is a pixel at scale 1, two at scale 2.
/// Fonts keep the desktop's points; only lengths use this.
int pt(double points);
/// The window's minimum size, 900 × 560 points, within nine tenths of the screen it opens on.
QSize minimumWindowSize();
/// The minimum width of a pane that is `points` wide in a 900-point window, shrunk in proportion
/// where the screen makes the window's minimum narrower, so that side-by-side panes never overlap.
int paneWidth(double points);

} // namespace Style
