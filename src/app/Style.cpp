#include "app/Style.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

#include <functional>

namespace Style {

QFont font(double points, QFont::Weight weight)
{
    QFont f = QApplication::font();
    f.setPointSizeF(points);
    f.setWeight(weight);
    return f;
}

QFont fixedFont(double points, QFont::Weight weight)
{
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setPointSizeF(points);
    f.setWeight(weight);
    return f;
}

QColor secondary(const QPalette &palette)
{
    QColor c = palette.color(QPalette::Text);
    c.setAlphaF(0.62f);
    return c;
}

QColor tertiary(const QPalette &palette)
{
    QColor c = palette.color(QPalette::Text);
    c.setAlphaF(0.40f);
    return c;
}

QColor accent(const QPalette &palette)
{
    return palette.color(QPalette::Highlight);
}

QColor quaternary(const QPalette &palette)
{
    // The text colour, faint: a rule or a fill that shows on a light and on a dark background
    // alike (the palette's Mid is close to a dark theme's background).
    QColor c = palette.color(QPalette::Text);
    c.setAlphaF(0.16f);
    return c;
}

QColor blend(const QColor &from, const QColor &to, double share)
{
    const auto mix = [share](int a, int b) { return int(a + (b - a) * share + 0.5); };
    return QColor(mix(from.red(), to.red()), mix(from.green(), to.green()),
                  mix(from.blue(), to.blue()));
}

QColor warning(WarningUse use)
{
    return use == WarningUse::text ? QColor(0xD0, 0x6A, 0x00) : QColor(0xFF, 0x95, 0x00);
}

namespace {

/// Small drawn icons for the node kinds: a box, a folder, a page, an indented list, a dot.
QIcon drawnIcon(X12Node::Kind kind, const QColor &colour)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(colour, 2.5));
    p.setBrush(Qt::NoBrush);
    switch (kind) {
    case X12Node::Kind::interchange:
        p.drawRoundedRect(QRectF(5, 9, 22, 18), 2, 2);
        p.drawLine(QPointF(5, 15), QPointF(27, 15));
        p.drawLine(QPointF(8, 9), QPointF(11, 4));
        p.drawLine(QPointF(24, 9), QPointF(21, 4));
        p.drawLine(QPointF(11, 4), QPointF(21, 4));
        break;
    case X12Node::Kind::functionalGroup: {
        QPainterPath folder;
        folder.moveTo(4, 8);
        folder.lineTo(12, 8);
        folder.lineTo(15, 11);
        folder.lineTo(28, 11);
        folder.lineTo(28, 26);
        folder.lineTo(4, 26);
        folder.closeSubpath();
        p.drawPath(folder);
        break;
    }
    case X12Node::Kind::transaction:
        p.drawRoundedRect(QRectF(8, 4, 17, 24), 2, 2);
        for (int y : {11, 16, 21})
            p.drawLine(QPointF(12, y), QPointF(21, y));
        break;
    case X12Node::Kind::loop:
        p.drawLine(QPointF(5, 8), QPointF(27, 8));
        p.drawLine(QPointF(11, 16), QPointF(27, 16));
        p.drawLine(QPointF(11, 24), QPointF(27, 24));
        break;
    case X12Node::Kind::segment:
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawEllipse(QPointF(16, 16), 6, 6);
        break;
    }
    return QIcon(pixmap);
}

} // namespace

QIcon kindIcon(X12Node::Kind kind, const QPalette &palette)
{
    switch (kind) {
    case X12Node::Kind::interchange:
        return drawnIcon(kind, QColor(0xAF, 0x52, 0xDE));
    case X12Node::Kind::functionalGroup:
        return drawnIcon(kind, QColor(0x00, 0x7A, 0xFF));
    case X12Node::Kind::transaction:
        return drawnIcon(kind, QColor(0x30, 0xB0, 0xC7));
    case X12Node::Kind::loop:
        return drawnIcon(kind, QColor(0xFF, 0x95, 0x00));
    case X12Node::Kind::segment: {
        QColor dim = palette.color(QPalette::Text);
        dim.setAlphaF(0.62f * 0.45f);
        return drawnIcon(kind, dim);
    }
    }
    return {};
}

QFont::Weight kindWeight(X12Node::Kind kind)
{
    switch (kind) {
    case X12Node::Kind::interchange:
    case X12Node::Kind::functionalGroup:
    case X12Node::Kind::transaction:
        return QFont::DemiBold;
    case X12Node::Kind::loop:
        return QFont::Medium;
    case X12Node::Kind::segment:
        return QFont::Normal;
    }
    return QFont::Normal;
}

QIcon symbol(Symbol which, const QColor &colour)
{
    static const char *const themeNames[] = {"folder", "document-export", "system-search",
                                             "dialog-warning"};
    const QString themeName = QString::fromLatin1(themeNames[int(which)]);
    if (QIcon::hasThemeIcon(themeName))
        return QIcon::fromTheme(themeName);
    if (which == Symbol::folder)
        return drawnIcon(X12Node::Kind::functionalGroup, colour);
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(colour, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    switch (which) {
    case Symbol::export_:
        p.drawLine(QPointF(32, 8), QPointF(32, 40));
        p.drawLine(QPointF(32, 8), QPointF(22, 18));
        p.drawLine(QPointF(32, 8), QPointF(42, 18));
        p.drawPolyline(QPolygonF({QPointF(22, 28), QPointF(12, 28), QPointF(12, 56),
                                  QPointF(52, 56), QPointF(52, 28), QPointF(42, 28)}));
        break;
    case Symbol::searchDocument:
        p.drawRoundedRect(QRectF(10, 4, 34, 48), 3, 3);
        p.drawEllipse(QPointF(36, 38), 10, 10);
        p.drawLine(QPointF(43, 45), QPointF(55, 57));
        break;
    case Symbol::warning:
        p.drawPolygon(QPolygonF({QPointF(32, 6), QPointF(60, 56), QPointF(4, 56)}));
        p.drawLine(QPointF(32, 24), QPointF(32, 40));
        p.drawPoint(QPointF(32, 48));
        break;
    case Symbol::folder:
        break;
    }
    return QIcon(pixmap);
}

namespace {

/// Calls a function whenever its widget's palette changes.
class PaletteFollower : public QObject
{
public:
    PaletteFollower(QWidget *widget, std::function<void()> apply)
        : QObject(widget), m_apply(std::move(apply))
    {
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        // Its own colours, set by the function, change the palette too: no second call for them.
        if (event->type() == QEvent::PaletteChange && !m_applying) {
            m_applying = true;
            m_apply();
            m_applying = false;
        }
        return false;
    }

private:
    std::function<void()> m_apply;
    bool m_applying = false;
};

/// Sets one colour of a widget's palette, in place of any it set before; its other colours stay
/// the parent's and follow it. Each widget derives one colour of its own.
void setColour(QWidget *widget, QPalette::ColorRole role, const QColor &colour)
{
    QPalette own; // no colour set: the others come from the parent
    own.setColor(role, colour);
    widget->setPalette(own);
}

} // namespace

void followPalette(QWidget *widget, std::function<void()> apply)
{
    apply();
    new PaletteFollower(widget, std::move(apply));
}

void useTextBackground(QWidget *widget)
{
    widget->setAutoFillBackground(true);
    followPalette(widget, [widget] {
        setColour(widget, QPalette::Window, widget->palette().color(QPalette::Base));
    });
}

void tint(QWidget *widget, std::function<QColor()> colour)
{
    widget->setAutoFillBackground(true);
    followPalette(widget, [widget, colour = std::move(colour)] {
        QColor faint = colour();
        faint.setAlpha(60);
        setColour(widget, QPalette::Window, faint);
    });
}

void setTextColour(QWidget *widget, std::function<QColor(const QPalette &)> colour)
{
    followPalette(widget, [widget, colour = std::move(colour)] {
        setColour(widget, QPalette::WindowText, colour(widget->palette()));
    });
}

QList<QTextLayout::FormatRange> regularControlPictures(const QString &text, const QFont &font)
{
    QList<QTextLayout::FormatRange> ranges;
    if (font.weight() <= QFont::Medium)
        return ranges;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].unicode() < 0x2400 || text[i].unicode() > 0x243F)
            continue;
        if (!ranges.isEmpty() && ranges.back().start + ranges.back().length == i) {
            ++ranges.back().length;
            continue;
        }
        QTextLayout::FormatRange range{int(i), 1, {}};
        range.format.setFontWeight(QFont::Normal);
        ranges << range;
    }
    return ranges;
}

std::unique_ptr<QTextLayout> lineLayout(const QString &text, const QFont &font)
{
    auto layout = std::make_unique<QTextLayout>(text, font);
    layout->setFormats(regularControlPictures(text, font));
    layout->beginLayout();
    layout->createLine();
    layout->endLayout();
    return layout;
}

void drawLine(QPainter *painter, QPoint origin, const QString &text, const QFont &font, int width)
{
    const QString shown = QFontMetrics(font).elidedText(text, Qt::ElideRight, width);
    if (regularControlPictures(shown, font).isEmpty()) {
        painter->setFont(font);
        painter->drawText(origin, shown);
        return;
    }
    const auto layout = lineLayout(shown, font);
    layout->draw(painter, QPointF(origin.x(), origin.y() - layout->lineAt(0).ascent()));
}

int pt(double points)
{
    return int(points + 0.5);
}

QSize minimumWindowSize()
{
    const QSize minimum(pt(900), pt(560));
    const QScreen *screen = QApplication::primaryScreen();
    return screen ? minimum.boundedTo(screen->availableSize() * 9 / 10) : minimum;
}

int paneWidth(double points)
{
    return int(points * minimumWindowSize().width() / pt(900) + 0.5);
}

} // namespace Style
