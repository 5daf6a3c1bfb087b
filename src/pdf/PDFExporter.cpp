#include "pdf/PDFExporter.h"

#include "core/output/FileOutput.h"
#include "core/text/VisibleText.h"
#include "core/dictionary/X12Dictionary.h"
#include "core/guides/X12GuideLoops.h"
#include "core/model/X12Document.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextLayout>

#include <array>
#include <cmath>
#include <cstring>
#include <deque>
#include <limits>
#include <memory>
#include <utility>
#include <vector>
#include <optional>
#include <span>

namespace {

// Geometry in PDF points, y growing upward from the bottom of the page.
constexpr double pageWidth = 612;
constexpr double pageHeight = 792;
constexpr double left = 48;
constexpr double right = 564;
constexpr double indentStep = 14;
constexpr double top = 744;
constexpr double bottomLimit = 76;
constexpr double footerBottom = 48;

// The writer works at 720 dpi, so ten device units make a point and font sizes such as 8.5 and
// 10.5 points come out exact (at 72 dpi Qt rounds them to whole pixels).
constexpr int dotsPerInch = 720;
constexpr double unitsPerPoint = dotsPerInch / 72.0;

const QColor black(0, 0, 0);
const QColor darkGray(85, 85, 85);     // grey level 1/3
const QColor gray(128, 128, 128);      // grey level 1/2
const QColor lightGray(170, 170, 170); // grey level 2/3
const QColor errorRed(196, 30, 30);
const QColor warningAmber(204, 122, 0);

QFont makeFont(QFontDatabase::SystemFont which, double points, QFont::Weight weight)
{
    QFont font = QFontDatabase::systemFont(which);
    font.setPointSizeF(points);
    font.setWeight(weight);
    // Shaping would turn "fi" into a ligature and break searching the PDF for it.
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

struct TextStyle
{
    QFont font;
    QColor colour;
    QPaintDevice *device; // measurements are the writer's, never the screen's
    QFontMetricsF metrics;

    TextStyle(const QFont &f, const QColor &c, QPaintDevice *d)
        : font(f), colour(c), device(d), metrics(f, d)
    {
    }
    /// Height of one line of text in points: ascent plus descent.
    double lineHeight() const { return (metrics.ascent() + metrics.descent()) / unitsPerPoint; }
};

/// Converts a PDF y (points, upward) to a device y (units, downward).
double deviceY(double y)
{
    return (pageHeight - y) * unitsPerPoint;
}

QString visibleString(std::string_view text)
{
    const std::string visible = VisibleText::visible(text);
    return QString::fromUtf8(visible.data(), qsizetype(visible.size()));
}

/// A text as the report draws it: control characters as their symbols, like every other view, and
/// at most longestText bytes, the rest counted in a note. `shortened` tells whether it was cut.
QString drawnText(std::string_view text, bool &shortened)
{
    shortened = text.size() > PDFExporter::longestText;
    if (!shortened && !VisibleText::hasControl(text))
        return QString::fromUtf8(text.data(), qsizetype(text.size()));
    std::string visible;
    if (!shortened) {
        VisibleText::append(visible, text);
    } else {
        const std::size_t cut = VisibleText::cut(text, PDFExporter::longestText).size();
        std::size_t rest = 0;
        for (const char c : text.substr(cut))
            rest += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        VisibleText::append(visible, text.substr(0, cut));
        visible += "\u2026 " + ReportLines::grouped(rest) + " more characters";
    }
    return QString::fromUtf8(visible.data(), qsizetype(visible.size()));
}

/// One body line measured for its width. A line no taller than a page is laid out whole and
/// drawn at once; a taller one is laid out a stretch at a time as it is drawn down the pages, so
/// that a text of a megabyte never sits laid out in memory all at once.
class MeasuredLine
{
public:
    /// `limit` is the height in points above which the line is taller than a page.
    MeasuredLine(const ReportLines::Line &line, const TextStyle &style, double width, double limit)
        : m_style(style), m_text(drawnText(line.text, m_shortened)),
          m_widthUnits(width * unitsPerPoint)
    {
        // No more than a few hundred characters fit on one line; Qt's measure of a much longer
        // text can overflow its fixed-point arithmetic and come out small.
        if (m_text.size() <= 1024 && style.metrics.horizontalAdvance(m_text) <= m_widthUnits) {
            m_height = style.lineHeight();
            m_next = m_text.size();
            return;
        }
        while (m_next < m_text.size() && m_height <= limit)
            layOutStretch();
        m_tall = m_height > limit;
    }

    bool shortened() const { return m_shortened; }
    bool isTallerThanAPage() const { return m_tall; }
    /// The height of the whole text, for a line no taller than a page.
    double height() const { return m_height; }

    /// Draws the whole text, no taller than a page, with the top of its box at `boxTop` (PDF y).
    void draw(QPainter &painter, double x, double boxTop) const
    {
        painter.setFont(m_style.font);
        painter.setPen(m_style.colour);
        const QPointF origin(x * unitsPerPoint, deviceY(boxTop));
        if (m_pieces.empty()) {
            painter.drawText(origin + QPointF(0, m_style.metrics.ascent()), m_text);
        } else if (m_pieces.size() == 1) {
            m_pieces.front().layout->draw(&painter, origin);
        } else {
            double pieceTop = 0;
            for (const Piece &piece : m_pieces) {
                const QPointF pieceOrigin = origin + QPointF(0, pieceTop);
                for (int i = 0; i < piece.lines; ++i)
                    piece.layout->lineAt(i).draw(&painter, pieceOrigin);
                pieceTop += piece.height;
            }
        }
    }

    /// Draws the visual lines not drawn yet, from `boxTop` (PDF y) down, while they fit within
    /// `available` points, and at least one when `atLeastOne`. Returns the height used.
    double drawFurther(QPainter &painter, double x, double boxTop, double available,
                       bool atLeastOne)
    {
        painter.setFont(m_style.font);
        painter.setPen(m_style.colour);
        double used = 0;
        for (;;) {
            if (!m_pieces.empty() && m_drawn == m_pieces.front().lines) {
                m_pieces.pop_front(); // drawn: its memory goes
                m_drawn = 0;
            }
            if (m_pieces.empty()) {
                if (m_next == m_text.size())
                    break;
                layOutStretch();
            }
            const QTextLine textLine = m_pieces.front().layout->lineAt(m_drawn);
            const double height = (textLine.ascent() + textLine.descent()) / unitsPerPoint;
            if (used + height > available && !(atLeastOne && used == 0))
                break;
            const QPointF origin(x * unitsPerPoint,
                                 deviceY(boxTop - used) - textLine.position().y());
            textLine.draw(&painter, origin);
            used += height;
            ++m_drawn;
        }
        return used;
    }

    /// Every visual line has been drawn by drawFurther().
    bool isFinished() const
    {
        return m_next == m_text.size() &&
               (m_pieces.empty() || (m_pieces.size() == 1 && m_drawn == m_pieces.front().lines));
    }

private:
    // Characters laid out at a time: some sixty visual lines at the report's sizes.
    static constexpr qsizetype stretchLength = 8192;

    struct Piece
    {
        std::unique_ptr<QTextLayout> layout;
        int lines = 0;     // its visual lines that belong to the text, from the first
        double height = 0; // theirs, in device units
    };

    /// Lays out the next stretch of the text. Qt measures a word that has to be broken anywhere
    /// whole again for every visual line it fills, which makes one long run without blanks
    /// quadratic; stretches keep that cost bounded. A stretch's last visual line, which the
    /// stretch's end may have cut short, is laid out again at the start of the next one, so the
    /// breaks come out as one layout of the whole text would make them.
    void layOutStretch()
    {
        qsizetype end = std::min(m_text.size(), m_next + stretchLength);
        if (end < m_text.size() && m_text[end - 1].isHighSurrogate())
            --end;
        const bool last = end == m_text.size();
        Piece piece;
        piece.layout = std::make_unique<QTextLayout>(m_text.mid(m_next, end - m_next), m_style.font,
                                                     m_style.device);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        piece.layout->setTextOption(option);
        piece.layout->setCacheEnabled(true);
        piece.layout->beginLayout();
        qsizetype resume = end - m_next;
        for (QTextLine textLine = piece.layout->createLine(); textLine.isValid();
             textLine = piece.layout->createLine()) {
            textLine.setLineWidth(m_widthUnits);
            textLine.setPosition(QPointF(0, piece.height));
            if (!last && textLine.lineNumber() > 0 &&
                textLine.textStart() + textLine.textLength() >= end - m_next) {
                resume = textLine.textStart();
                break;
            }
            ++piece.lines;
            piece.height += textLine.ascent() + textLine.descent();
        }
        piece.layout->endLayout();
        m_height += piece.height / unitsPerPoint;
        m_next += resume;
        m_pieces.push_back(std::move(piece));
    }

    const TextStyle &m_style;
    bool m_shortened = false;
    QString m_text;
    double m_widthUnits;
    std::deque<Piece> m_pieces; // laid out and not drawn yet; none when the text fits one line
    qsizetype m_next = 0;       // where the text not laid out yet begins
    int m_drawn = 0;            // visual lines of the first piece drawn by drawFurther()
    double m_height = 0;        // of all that has been laid out, in points
    bool m_tall = false;
};

/// The writer's output: buffered writes to a file descriptor that remember the first failure.
class DescriptorDevice : public QIODevice
{
public:
    explicit DescriptorDevice(int fd) : m_fd(fd) {}

    bool isSequential() const override { return true; }
    /// errno of the first failed write, or 0.
    int failure() const { return m_error; }

    void flushBuffer()
    {
        if (m_error == 0 && !m_buffer.empty())
            m_error = FileOutput::writeAll(m_fd, m_buffer);
        m_buffer.clear();
    }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        if (m_error != 0)
            return -1;
        m_buffer.append(data, std::size_t(size));
        if (m_buffer.size() >= bufferSize)
            flushBuffer();
        return m_error != 0 ? -1 : size;
    }

private:
    static constexpr std::size_t bufferSize = 256 * 1024;
    int m_fd;
    int m_error = 0;
    std::string m_buffer;
};

class ReportWriter
{
public:
    ReportWriter(const X12Document &document, std::span<const X12GuideFinding> guideFindings,
                 QPdfWriter &writer)
        : m_document(document), m_guideFindings(guideFindings), m_writer(writer),
          m_title(makeFont(QFontDatabase::GeneralFont, 18, QFont::DemiBold), black, &writer),
          m_summary(makeFont(QFontDatabase::GeneralFont, 10, QFont::Normal), darkGray, &writer),
          m_footer(makeFont(QFontDatabase::GeneralFont, 8, QFont::Normal), gray, &writer),
          m_markFont(makeFont(QFontDatabase::GeneralFont, 8, QFont::Normal)),
          m_styles{{
              {makeFont(QFontDatabase::GeneralFont, 14, QFont::DemiBold), black, &writer},
              {makeFont(QFontDatabase::GeneralFont, 12, QFont::DemiBold), black, &writer},
              {makeFont(QFontDatabase::GeneralFont, 10.5, QFont::Medium), black, &writer},
              {makeFont(QFontDatabase::FixedFont, 9, QFont::Normal), darkGray, &writer},
              {makeFont(QFontDatabase::GeneralFont, 9, QFont::Normal), black, &writer},
              {makeFont(QFontDatabase::GeneralFont, 8.5, QFont::Normal), gray, &writer},
              {makeFont(QFontDatabase::GeneralFont, 9, QFont::Normal), black, &writer},
          }}
    {
    }

    /// Draws every page; false when the progress callback cancelled.
    bool run(QPainter &painter, const PDFExporter::Progress &progress)
    {
        ReportLines::LineCursor cursor(m_document, m_guideFindings);
        ReportLines::Line line;
        bool more = cursor.next(line);
        std::optional<MeasuredLine> measured;
        bool flowing = false;     // a line taller than a page is under way
        bool markPending = false; // and its first visual line is not drawn yet
        ReportLines::Style previous = ReportLines::Style::note;

        // Without lines the PDF keeps the one blank page the writer starts with.
        for (m_pages = 1; more; ++m_pages) {
            if (m_pages > 1)
                m_writer.newPage();
            double y = m_pages == 1 ? drawTitleBlock(painter, top) : top;
            bool placed = false;
            while (more) {
                const double x = left + indentStep * double(line.indent);
                // Absurdly deep indents still get a sliver of width rather than none.
                const double width = std::max(right - x, 36.0);
                if (!flowing) {
                    using ReportLines::Style;
                    // The tree begins after the findings' heading or their last line, below a
                    // rule across the page.
                    const bool treeBegins =
                        (previous == Style::title || previous == Style::finding) &&
                        line.style != Style::note && line.style != Style::finding;
                    const double space = treeBegins ? 22
                                         : line.style == Style::title ||
                                                 line.style == Style::header ||
                                                 line.style == Style::loop
                                             ? 6
                                             : 1;
                    previous = line.style;
                    const auto &style = m_styles[std::size_t(line.style)];
                    measured.emplace(line, style, width, top - space - bottomLimit);
                    m_shortened += measured->shortened();
                    // A line that fits on a page goes whole onto this one, or the next.
                    if (!measured->isTallerThanAPage()) {
                        if (y - space - measured->height() < bottomLimit)
                            break;
                        if (treeBegins)
                            drawRule(painter, y - 10);
                        y -= space + measured->height();
                        measured->draw(painter, x, y + measured->height());
                        drawMark(painter, line, style, x, y + measured->height());
                        placed = true;
                        more = cursor.next(line);
                        continue;
                    }
                    // A taller one starts here and goes on over the following pages, split
                    // between its visual lines.
                    if (treeBegins)
                        drawRule(painter, y - 10);
                    y -= space;
                    flowing = true;
                    markPending = true;
                }
                // A fresh page takes at least one visual line, so the export always ends.
                const double used = measured->drawFurther(painter, x, y, y - bottomLimit, !placed);
                if (used == 0)
                    break;
                if (markPending)
                    drawMark(painter, line, m_styles[std::size_t(line.style)], x, y);
                markPending = false;
                y -= used;
                placed = true;
                if (!measured->isFinished())
                    break;
                flowing = false;
                more = cursor.next(line);
            }
            drawFooter(painter, m_pages);
            if (progress && !progress(cursor.progress()))
                return false;
        }
        m_pages = std::max(m_pages - 1, 1);
        return true;
    }

    int pages() const { return m_pages; }
    std::size_t shortened() const { return m_shortened; }

private:
    double drawTitleBlock(QPainter &painter, double blockTop)
    {
        const QString title = visibleString(m_document.fileName());
        drawSingleLine(painter, title, m_title, left, blockTop);
        const double titleHeight = m_title.lineHeight();

        std::string summary = std::to_string(m_document.segments().size()) + " segments";
        std::string sets;
        for (const std::string &code : m_document.transactionSets()) {
            if (!sets.empty())
                sets += ", ";
            sets += code + " " + X12Dictionary::transactionSetName(code);
        }
        if (!sets.empty())
            summary += " \u00B7 " + sets;
        const double y1 = blockTop - (titleHeight + 4);
        drawSingleLine(painter, visibleString(summary), m_summary, left, y1);

        const double y2 = y1 - (m_summary.lineHeight() + 10);
        drawRule(painter, y2);
        return y2 - 10;
    }

    /// A thin grey rule across the body, its lower edge at `y`.
    static void drawRule(QPainter &painter, double y)
    {
        painter.fillRect(QRectF(left * unitsPerPoint, deviceY(y + 0.5),
                                (right - left) * unitsPerPoint, 0.5 * unitsPerPoint),
                         lightGray);
    }

    void drawFooter(QPainter &painter, int page)
    {
        const QString text = visibleString(m_document.fileName()) +
                             QStringLiteral("   \u00B7   Page ") + QString::number(page);
        const double width = m_footer.metrics.horizontalAdvance(text) / unitsPerPoint;
        drawSingleLine(painter, text, m_footer, (pageWidth - width) * 0.5,
                       footerBottom + m_footer.lineHeight());
    }

    /// A marked line's mark, left of its text and on its first baseline: a red disc for an error,
    /// an amber triangle for a warning.
    void drawMark(QPainter &painter, const ReportLines::Line &line, const TextStyle &lineStyle,
                  double x, double boxTop)
    {
        if (line.mark == ReportLines::Mark::none)
            return;
        const bool error = line.mark == ReportLines::Mark::error;
        painter.setFont(m_markFont);
        painter.setPen(error ? errorRed : warningAmber);
        painter.drawText(QPointF((x - markAdvance) * unitsPerPoint,
                                 deviceY(boxTop) + lineStyle.metrics.ascent()),
                         error ? QStringLiteral("\u25CF") : QStringLiteral("\u25B2"));
    }

    /// One unwrapped line with the top of its box at `boxTop`.
    static void drawSingleLine(QPainter &painter, const QString &text, const TextStyle &style,
                               double x, double boxTop)
    {
        painter.setFont(style.font);
        painter.setPen(style.colour);
        painter.drawText(QPointF(x * unitsPerPoint, deviceY(boxTop) + style.metrics.ascent()),
                         text);
    }

    // Where a mark starts, left of its line's text: within the indent step.
    static constexpr double markAdvance = 10;

    const X12Document &m_document;
    std::span<const X12GuideFinding> m_guideFindings;
    QPdfWriter &m_writer;
    TextStyle m_title;
    TextStyle m_summary;
    TextStyle m_footer;
    QFont m_markFont;
    std::array<TextStyle, 7> m_styles; // by ReportLines::Style
    int m_pages = 1;
    std::size_t m_shortened = 0; // texts cut at longestText
};

} // namespace

namespace PDFExporter {

std::string ExportFailure::description() const
{
    // A reason is always given with the path it concerns, even an empty one.
    std::string where;
    if (!path.empty() || !reason.empty())
        where = " \u201C" + VisibleText::visible(VisibleText::validUtf8(path)) + "\u201D";
    switch (error) {
    case ExportError::cannotCreateContext:
        if (reason.empty())
            return "Could not create the PDF context.";
        return "Could not create the PDF context." + (where.empty() ? "" : where + ":") + " " +
               reason + ".";
    case ExportError::cannotWriteFile:
        if (reason.empty())
            return "Could not write the PDF file" + where + ".";
        return "Could not write the PDF file" + where + ": " + reason + ".";
    case ExportError::cancelled:
        return "The export was cancelled.";
    }
    return "Could not write the PDF file.";
}

std::expected<Written, ExportFailure> write(const X12Document &document, const std::string &path,
                                            const Progress &progress, unsigned permissions,
                                            const X12GuideLoops *checked)
{
    auto file = FileOutput::Replacement::create(path, permissions);
    if (!file) {
        return std::unexpected(ExportFailure{ExportError::cannotCreateContext,
                                             file.error().reason(), file.error().path});
    }
    DescriptorDevice device(file->fd());
    device.open(QIODevice::WriteOnly);
    Written written{file->path(), 0, 0};
    {
        QPdfWriter writer(&device);
        writer.setPageSize(QPageSize(QPageSize::Letter));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setResolution(dotsPerInch);
        writer.setTitle(visibleString(document.fileName()));
        writer.setCreator(QStringLiteral("Kelvane"));
        QPainter painter;
        if (!painter.begin(&writer))
            return std::unexpected(ExportFailure{ExportError::cannotCreateContext, {}, path});
        std::optional<X12GuideLoops> ownCheck;
        if (!checked)
            checked = &ownCheck.emplace(X12GuideLoops::checked(document));
        ReportWriter report(document, checked->findings(), writer);
        // A failed write (a full disk) stops the export at the next page.
        const bool finished = report.run(painter, [&](double done) {
            return device.failure() == 0 && (!progress || progress(done));
        });
        painter.end();
        if (!finished && device.failure() == 0)
            return std::unexpected(ExportFailure{ExportError::cancelled, {}, {}});
        written.pages = report.pages();
        written.shortenedTexts = report.shortened();
    }
    device.flushBuffer();
    if (const int error = device.failure(); error != 0) {
        return std::unexpected(
            ExportFailure{ExportError::cannotWriteFile, std::strerror(error), file->path()});
    }
    if (const auto committed = file->commit(); !committed) {
        return std::unexpected(
            ExportFailure{ExportError::cannotWriteFile, committed.error().reason(), file->path()});
    }
    return written;
}

} // namespace PDFExporter
