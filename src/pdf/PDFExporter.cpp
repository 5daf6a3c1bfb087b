#include "pdf/PDFExporter.h"

#include "core/X12Dictionary.h"
#include "core/X12Document.h"

#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextLayout>

#include <array>
#include <cmath>
#include <limits>
#include <optional>

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

// A text longer than this cannot fit on one page at any of the report's sizes, so only this much
// of it is laid out; it is drawn from the top of a page and clipped at the bottom limit.
constexpr qsizetype longText = 40000;

const QColor black(0, 0, 0);
const QColor darkGray(85, 85, 85);   // grey level 1/3
const QColor gray(128, 128, 128);    // grey level 1/2
const QColor lightGray(170, 170, 170); // grey level 2/3

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

/// Line breaks inside a line's text (a segment with line feeds in it) break the drawn paragraph.
QString paragraph(std::string_view text)
{
    QString string = QString::fromUtf8(text.data(), qsizetype(text.size()));
    for (QChar &c : string) {
        if (c == u'\n' || c == u'\r')
            c = QChar::LineSeparator;
    }
    return string;
}

/// One body line measured for its width, ready to draw.
class MeasuredLine
{
public:
    MeasuredLine(const PDFExporter::Line &line, const TextStyle &style, double width)
        : m_style(style)
    {
        const std::string_view text = line.text;
        // Long texts are cut at a character boundary before laying them out; nothing after the
        // cut could be shown on the page anyway.
        std::size_t cut = text.size();
        if (text.size() > std::size_t(longText)) {
            cut = std::size_t(longText);
            while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
                --cut;
            m_tooTall = true;
        }
        m_text = paragraph(text.substr(0, cut));
        const double widthUnits = width * unitsPerPoint;
        if (!m_tooTall && !m_text.contains(QChar::LineSeparator) &&
            style.metrics.horizontalAdvance(m_text) <= widthUnits) {
            m_height = style.lineHeight();
            return;
        }
        m_layout.emplace(m_text, style.font, style.device);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        m_layout->setTextOption(option);
        m_layout->setCacheEnabled(true);
        m_layout->beginLayout();
        double y = 0;
        for (QTextLine textLine = m_layout->createLine(); textLine.isValid();
             textLine = m_layout->createLine()) {
            textLine.setLineWidth(widthUnits);
            textLine.setPosition(QPointF(0, y));
            y += textLine.ascent() + textLine.descent();
        }
        m_layout->endLayout();
        m_height = y / unitsPerPoint;
    }

    double height() const { return m_height; }
    bool tooTall() const { return m_tooTall; }

    /// Draws the visual lines that end above `bottom` (PDF y), and none of the rest: a clip would
    /// hide them but still write them into the file.
    void drawDownTo(QPainter &painter, double x, double boxTop, double bottom) const
    {
        if (!m_layout) {
            if (boxTop - m_height >= bottom)
                draw(painter, x, boxTop);
            return;
        }
        painter.setFont(m_style.font);
        painter.setPen(m_style.colour);
        const QPointF origin(x * unitsPerPoint, deviceY(boxTop));
        const double available = (boxTop - bottom) * unitsPerPoint;
        for (int i = 0; i < m_layout->lineCount(); ++i) {
            const QTextLine textLine = m_layout->lineAt(i);
            if (textLine.position().y() + textLine.ascent() + textLine.descent() > available)
                break;
            textLine.draw(&painter, origin);
        }
    }

    /// Draws the text with the top of its box at `boxTop` (PDF y).
    void draw(QPainter &painter, double x, double boxTop) const
    {
        painter.setFont(m_style.font);
        painter.setPen(m_style.colour);
        const QPointF origin(x * unitsPerPoint, deviceY(boxTop));
        if (m_layout)
            m_layout->draw(&painter, origin);
        else
            painter.drawText(origin + QPointF(0, m_style.metrics.ascent()), m_text);
    }

private:
    const TextStyle &m_style;
    QString m_text;
    std::optional<QTextLayout> m_layout;
    double m_height = 0;
    bool m_tooTall = false;
};

class ReportWriter
{
public:
    ReportWriter(const X12Document &document, QPdfWriter &writer)
        : m_document(document), m_writer(writer),
          m_title(makeFont(QFontDatabase::GeneralFont, 18, QFont::DemiBold), black, &writer),
          m_summary(makeFont(QFontDatabase::GeneralFont, 10, QFont::Normal), darkGray, &writer),
          m_footer(makeFont(QFontDatabase::GeneralFont, 8, QFont::Normal), gray, &writer),
          m_styles{{
              {makeFont(QFontDatabase::GeneralFont, 14, QFont::DemiBold), black, &writer},
              {makeFont(QFontDatabase::GeneralFont, 12, QFont::DemiBold), black, &writer},
              {makeFont(QFontDatabase::GeneralFont, 10.5, QFont::Medium), black, &writer},
              {makeFont(QFontDatabase::FixedFont, 9, QFont::Normal), darkGray, &writer},
              {makeFont(QFontDatabase::GeneralFont, 9, QFont::Normal), black, &writer},
              {makeFont(QFontDatabase::GeneralFont, 8.5, QFont::Normal), gray, &writer},
          }}
    {
    }

    /// Draws every page; false when the progress callback cancelled.
    bool run(QPainter &painter, const PDFExporter::Progress &progress)
    {
        PDFExporter::LineCursor cursor(m_document);
        PDFExporter::Line line;
        bool more = cursor.next(line);
        // Without lines the PDF keeps the one blank page the writer starts with.
        for (int page = 1; more; ++page) {
            if (page > 1)
                m_writer.newPage();
            double y = page == 1 ? drawTitleBlock(painter, top) : top;
            bool placed = false;
            while (more) {
                const double x = left + indentStep * double(line.indent);
                // Absurdly deep indents still get a sliver of width rather than none.
                const double width = std::max(right - x, 36.0);
                const auto &style = m_styles[std::size_t(line.style)];
                const MeasuredLine measured(line, style, width);
                const double space =
                    line.style == PDFExporter::Style::header || line.style == PDFExporter::Style::loop
                        ? 6
                        : 1;
                if (!measured.tooTall() && y - space - measured.height() >= bottomLimit) {
                    y -= space + measured.height();
                    measured.draw(painter, x, y + measured.height());
                    placed = true;
                    more = cursor.next(line);
                    continue;
                }
                // It goes on the next page, unless this page is already a fresh one after the
                // first and the line is taller than any page: then it is drawn from the top
                // here, cut at the bottom limit.
                if (!placed && page > 1) {
                    measured.drawDownTo(painter, x, y - space, bottomLimit);
                    more = cursor.next(line);
                }
                break;
            }
            drawFooter(painter, page);
            if (progress && !progress(cursor.progress()))
                return false;
        }
        return true;
    }

private:
    double drawTitleBlock(QPainter &painter, double blockTop)
    {
        const QString title = QString::fromStdString(m_document.fileName());
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
        drawSingleLine(painter, QString::fromStdString(summary), m_summary, left, y1);

        const double y2 = y1 - (m_summary.lineHeight() + 10);
        painter.fillRect(QRectF(left * unitsPerPoint, deviceY(y2 + 0.5), 516 * unitsPerPoint,
                                0.5 * unitsPerPoint),
                         lightGray);
        return y2 - 10;
    }

    void drawFooter(QPainter &painter, int page)
    {
        const QString text = QString::fromStdString(m_document.fileName()) +
                             QStringLiteral("   \u00B7   Page ") + QString::number(page);
        const double width = m_footer.metrics.horizontalAdvance(text) / unitsPerPoint;
        drawSingleLine(painter, text, m_footer, (pageWidth - width) * 0.5,
                       footerBottom + m_footer.lineHeight());
    }

    /// One unwrapped line with the top of its box at `boxTop`.
    static void drawSingleLine(QPainter &painter, const QString &text, const TextStyle &style,
                               double x, double boxTop)
    {
        painter.setFont(style.font);
        painter.setPen(style.colour);
        painter.drawText(QPointF(x * unitsPerPoint, deviceY(boxTop) + style.metrics.ascent()), text);
    }

    const X12Document &m_document;
    QPdfWriter &m_writer;
    TextStyle m_title;
    TextStyle m_summary;
    TextStyle m_footer;
    std::array<TextStyle, 6> m_styles; // by PDFExporter::Style
};

} // namespace

namespace PDFExporter {

std::string ExportFailure::description() const
{
    switch (error) {
    case ExportError::cannotCreateContext:
        return "Could not create the PDF context.";
    case ExportError::cannotWriteFile:
        return reason.empty() ? "Could not write the PDF file."
                              : "Could not write the PDF file: " + reason + ".";
    case ExportError::cancelled:
        return "The export was cancelled.";
    }
    return "Could not write the PDF file.";
}

std::expected<void, ExportFailure> write(const X12Document &document, const std::string &path,
                                         const Progress &progress)
{
    // A regular file is replaced only once the report is complete. Anything else that already
    // exists there (a device such as /dev/stdout, a pipe) is written to directly: renaming over
    // it would replace the device itself.
    const QString name = QString::fromStdString(path);
    const QFileInfo info(name);
    const bool direct = info.exists() && !info.isFile() && !info.isDir();
    QSaveFile replacement(name);
    QFile stream(name);
    QFileDevice &file = direct ? static_cast<QFileDevice &>(stream) : replacement;
    if (!file.open(QIODevice::WriteOnly))
        return std::unexpected(ExportFailure{ExportError::cannotCreateContext, {}});
    {
        QPdfWriter writer(&file);
        writer.setPageSize(QPageSize(QPageSize::Letter));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setResolution(dotsPerInch);
        writer.setTitle(QString::fromStdString(document.fileName()));
        writer.setCreator(QStringLiteral("Kelvane"));
        QPainter painter;
        if (!painter.begin(&writer)) {
            if (!direct)
                replacement.cancelWriting();
            return std::unexpected(ExportFailure{ExportError::cannotCreateContext, {}});
        }
        const bool finished = ReportWriter(document, writer).run(painter, progress);
        painter.end();
        if (!finished) {
            if (!direct)
                replacement.cancelWriting();
            return std::unexpected(ExportFailure{ExportError::cancelled, {}});
        }
    }
    const bool written = direct ? stream.flush() && stream.error() == QFileDevice::NoError
                                : replacement.error() == QFileDevice::NoError && replacement.commit();
    if (!written) {
        const std::string reason = file.errorString().toStdString();
        if (!direct)
            replacement.cancelWriting();
        return std::unexpected(ExportFailure{ExportError::cannotWriteFile, reason});
    }
    return {};
}

} // namespace PDFExporter
