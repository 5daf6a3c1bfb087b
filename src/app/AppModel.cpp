#include "app/AppModel.h"

#include "app/DisplayText.h"
#include "app/Platform.h"
#include "core/SegmentFilter.h"
#include "core/TextFile.h"
#include "core/X12Parser.h"
#include "pdf/PDFExporter.h"

#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <future>

struct AppModel::FilterCache
{
    // The document the result is for. Held weakly: the cache neither keeps a closed document
    // alive nor mistakes a new one at a freed one's address for it.
    std::weak_ptr<const X12Document> document;
    QString query;
    std::shared_ptr<const std::vector<std::uint32_t>> indices;
};

QString AppModel::title(ViewMode mode)
{
    switch (mode) {
    case ViewMode::outline:
        return QStringLiteral("Outline");
    case ViewMode::flat:
        return QStringLiteral("Segments");
    case ViewMode::raw:
        return QStringLiteral("Raw");
    }
    return {};
}

std::optional<AppModel::ViewMode> AppModel::viewMode(const QString &rawValue)
{
    for (ViewMode mode : allViewModes) {
        if (title(mode) == rawValue)
            return mode;
    }
    return std::nullopt;
}

AppModel::AppModel(Platform &platform, QObject *parent)
    : QObject(parent), m_platform(platform), m_filter(std::make_unique<FilterCache>())
{
}

AppModel::~AppModel() = default;

void AppModel::setSearchText(const QString &text)
{
    if (text == m_searchText)
        return;
    m_searchText = text;
    emit searchTextChanged();
}

void AppModel::setViewMode(ViewMode mode)
{
    if (mode == m_viewMode)
        return;
    m_viewMode = mode;
    emit viewModeChanged();
}

void AppModel::setErrorMessage(std::optional<QString> message)
{
    m_errorMessage = std::move(message);
    emit errorMessageChanged();
}

namespace {

struct Loaded
{
    std::shared_ptr<const X12Document> document;
    std::optional<QString> failure;
};

Loaded loadOrThrow(const std::string &file, const std::string &name)
{
    auto text = TextFile::read(file, TextFile::Decoding::utf8OrLatin1);
    if (!text)
        return {nullptr, DisplayText::toQString(text.error().message)};
    auto document = X12Parser::parse(std::move(*text), name);
    if (!document) {
        const std::string_view why = description(document.error());
        return {nullptr, DisplayText::toQString(why)};
    }
    return {std::move(*document), std::nullopt};
}

/// Never throws: a file too big for memory is a failure to show, not an exception to escape.
Loaded load(const std::string &file, const std::string &name) noexcept
{
    try {
        return loadOrThrow(file, name);
    } catch (const std::bad_alloc &) {
        return {nullptr, QStringLiteral("There is not enough memory to open this file.")};
    }
}

} // namespace

void AppModel::open(const QString &path)
{
    // Reading and parsing run beside the event loop, so a big file shows progress instead of a
    // frozen window; open() still returns only when the file is loaded.
    auto work = std::async(std::launch::async, load, path.toStdString(),
                           QFileInfo(path).fileName().toStdString());
    if (work.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
        const auto progress = m_platform.startProgress(
            QStringLiteral("Opening %1\u2026").arg(QFileInfo(path).fileName()), false);
        while (work.wait_for(std::chrono::milliseconds(30)) != std::future_status::ready)
            progress->update(-1);
    }
    Loaded loaded = work.get();
    std::optional<QString> failure = std::move(loaded.failure);
    std::shared_ptr<const X12Document> parsed = std::move(loaded.document);

    if (parsed) {
        m_document = std::move(parsed);
        emit documentChanged();
        m_fileURL = path;
        emit fileURLChanged();
        setErrorMessage(std::nullopt);
        m_platform.noteRecentDocument(path);
        return;
    }
    // The failed file becomes the current one; the previous document is dropped.
    m_document.reset();
    emit documentChanged();
    m_fileURL = path;
    emit fileURLChanged();
    setErrorMessage(failure);
}

void AppModel::showOpenPanel()
{
    const auto path = m_platform.chooseFileToOpen(
        QStringLiteral("Choose an X12 / EDI file (837, 835, 834, 270, 271, 277, 999, \u2026)"));
    if (path)
        open(*path);
}

std::shared_ptr<const std::vector<std::uint32_t>> AppModel::filteredSegments() const
{
    if (!m_document)
        return std::make_shared<const std::vector<std::uint32_t>>();
    if (m_filter->document.lock() != m_document || m_filter->query != m_searchText) {
        m_filter->indices = std::make_shared<const std::vector<std::uint32_t>>(
            SegmentFilter::matches(*m_document, m_searchText.toStdString()));
        m_filter->document = m_document;
        m_filter->query = m_searchText;
    }
    return m_filter->indices;
}

void AppModel::exportPDF()
{
    if (!m_document)
        return;
    const QString name = QString::fromStdString(m_document->fileName());
    // The last extension goes: claims.edi gives claims.pdf, and a name without one gets ".pdf".
    const QString base =
        name.contains(u'.') && !name.startsWith(u'.') ? name.left(name.lastIndexOf(u'.')) : name;
    const auto destination = m_platform.chooseExportDestination(
        base + QStringLiteral(".pdf"), QStringLiteral("Export the formatted X12 document as PDF"));
    if (!destination)
        return;
    const auto progress =
        m_platform.startProgress(QStringLiteral("Exporting %1\u2026").arg(name), true);
    const auto written = PDFExporter::write(
        *m_document, QFile::encodeName(*destination).toStdString(), [&progress](double done) {
            progress->update(done);
            return !progress->cancelled();
        });
    if (!written && written.error().error == PDFExporter::ExportError::cancelled)
        return; // a cancelled export writes nothing and is no failure
    if (!written) {
        setErrorMessage(QStringLiteral("PDF export failed: ") +
                        DisplayText::toQString(written.error().description()));
        return;
    }
    m_platform.showInFileManager(QFile::decodeName(QByteArray::fromStdString(written->path)));
}
