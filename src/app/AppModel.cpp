#include "app/AppModel.h"

#include "app/Platform.h"
#include "core/SegmentFilter.h"
#include "core/TextFile.h"
#include "core/X12Parser.h"
#include "pdf/PDFExporter.h"

#include <QFileInfo>

struct AppModel::FilterCache
{
    const X12Document *document = nullptr;
    QString query;
    std::vector<std::uint32_t> indices;
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

void AppModel::open(const QString &path)
{
    const std::string file = path.toStdString();
    auto text = TextFile::read(file, TextFile::Decoding::utf8OrLatin1);
    std::optional<QString> failure;
    std::shared_ptr<const X12Document> parsed;
    if (!text) {
        failure = QString::fromStdString(text.error().message);
    } else {
        auto document =
            X12Parser::parse(std::move(*text), QFileInfo(path).fileName().toStdString());
        if (document)
            parsed = std::move(*document);
        else
            failure = QString::fromUtf8(description(document.error()).data(),
                                        qsizetype(description(document.error()).size()));
    }

    if (parsed) {
        m_document = std::move(parsed);
        emit documentChanged();
        m_fileURL = path;
        emit fileURLChanged();
        setErrorMessage(std::nullopt);
        m_selectedNodeID = m_document->rootNodes().empty()
                               ? std::nullopt
                               : std::optional<Uuid>(m_document->nodeId(m_document->rootNodes()[0]));
        emit selectedNodeIDChanged();
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

const std::vector<std::uint32_t> &AppModel::filteredSegments() const
{
    static const std::vector<std::uint32_t> none;
    if (!m_document)
        return none;
    if (m_filter->document != m_document.get() || m_filter->query != m_searchText) {
        m_filter->indices = SegmentFilter::matches(*m_document, m_searchText.toStdString());
        m_filter->document = m_document.get();
        m_filter->query = m_searchText;
    }
    return m_filter->indices;
}

void AppModel::exportPDF()
{
    if (!m_document)
        return;
    const QString name = QString::fromStdString(m_document->fileName());
    const QFileInfo info(name);
    // The last extension goes: claims.edi gives claims.pdf, and a name without one gets ".pdf".
    const QString base = name.contains(u'.') && !name.startsWith(u'.')
                             ? name.left(name.lastIndexOf(u'.'))
                             : name;
    const auto destination = m_platform.chooseExportDestination(
        base + QStringLiteral(".pdf"), QStringLiteral("Export the formatted X12 document as PDF"));
    if (!destination)
        return;
    const auto written = PDFExporter::write(*m_document, destination->toStdString());
    if (!written) {
        setErrorMessage(QStringLiteral("PDF export failed: ") +
                        QString::fromStdString(written.error().description()));
        return;
    }
    m_platform.showInFileManager(*destination);
}
