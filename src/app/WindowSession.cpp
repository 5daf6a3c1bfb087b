#include "app/WindowSession.h"

#include "app/DisplayText.h"
#include "app/Platform.h"
#include "app/FindingList.h"
#include "core/guides/X12GuideLoops.h"
#include "core/search/SegmentFilter.h"
#include "core/output/FileOutput.h"
#include "core/text/TextFile.h"
#include "core/output/X12Csv.h"
#include "core/parse/X12Parser.h"
#include "pdf/PDFExporter.h"

#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QPromise>
#include <QtConcurrent/QtConcurrentRun>

#include <new>
#include <optional>

#include <sys/stat.h>

/// What an export's worker hands back.
struct WindowSession::ExportResult
{
    enum class Outcome { written, cancelled, failed } outcome;
    QString text; // the file's absolute path, or the failure's description
};

namespace {

using Written = WindowSession::ExportResult;
using ExportPromise = QPromise<Written>;
using Matches = std::shared_ptr<const std::vector<std::uint32_t>>;

/// Text of a few megabytes is searched in a few milliseconds: at once, so the list never shows a
/// stale state for a moment. Larger text is searched on a worker.
constexpr std::size_t searchedAtOnce = 4u << 20;

/// A list of matches shared with the views; when the last of them lets it go, it is given back
/// for a later search to fill.
Matches sharedMatches(std::vector<std::uint32_t> list = {})
{
    return Matches(new std::vector<std::uint32_t>(std::move(list)),
                   [](const std::vector<std::uint32_t> *shared) {
                       // The list was made without const: giving its memory back is allowed.
                       std::unique_ptr<std::vector<std::uint32_t>> owned(
                           const_cast<std::vector<std::uint32_t> *>(shared));
                       SegmentFilter::recycle(std::move(*owned));
                   });
}

/// A file name without its last extension, for a report's name: claims.edi gives claims. A name
/// without one stays whole, and so does a hidden name whose only dot is its first character
/// (.hidden.edi gives .hidden, .edi stays .edi).
QString withoutExtension(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot > 0 ? name.left(dot) : name;
}

/// Whether two paths name the same file, whatever their spelling (links, "..").
bool sameFile(const QString &a, const QString &b)
{
    struct stat first
    {
    };
    struct stat second
    {
    };
    return ::stat(QFile::encodeName(a).constData(), &first) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

/// The permission bits of a report made from the file shown (see FileOutput::permissionsOf).
unsigned permissionsOf(const std::optional<QString> &file)
{
    return file ? FileOutput::permissionsOf(QFile::encodeName(*file).toStdString()) : 0666;
}

/// Writes the CSV for spreadsheets to `path`, in place only once complete, with `permissions`
/// as a report gets them.
Written writeCSV(const X12Document &document, const std::string &path, unsigned permissions,
                 const ExportPromise &promise)
{
    auto failure = [](const FileOutput::Failure &failed) {
        return Written{
            Written::Outcome::failed,
            QStringLiteral("Could not write the CSV file \u201C%1\u201D: %2.")
                .arg(DisplayText::toQString(failed.path), DisplayText::toQString(failed.reason()))};
    };
    auto file = FileOutput::Replacement::create(path, permissions);
    if (!file)
        return failure(file.error());
    int error = 0;
    X12Csv::write(document,
                  [&](std::string_view piece) {
                      if (promise.isCanceled())
                          return false;
                      error = FileOutput::writeAll(file->fd(), piece);
                      return error == 0;
                  },
                  {.byteOrderMark = true, .guardFormulas = true});
    if (promise.isCanceled())
        return Written{Written::Outcome::cancelled, {}};
    if (error != 0)
        return failure({file->path(), error});
    if (const auto committed = file->commit(); !committed)
        return failure(committed.error());
    return Written{Written::Outcome::written,
                   QFile::decodeName(QByteArray::fromStdString(file->path()))};
}

} // namespace

QString WindowSession::title(ViewMode mode)
{
    switch (mode) {
    case ViewMode::outline:
        return QStringLiteral("Outline");
    case ViewMode::segments:
        return QStringLiteral("Segments");
    case ViewMode::raw:
        return QStringLiteral("Raw");
    }
    return {};
}

std::optional<WindowSession::ViewMode> WindowSession::viewMode(const QString &rawValue)
{
    for (ViewMode mode : allViewModes) {
        if (title(mode) == rawValue)
            return mode;
    }
    return std::nullopt;
}

WindowSession::Loaded WindowSession::load(const QString &path) noexcept
{
    // A file too big for memory is a failure to show, not an exception to escape the worker.
    try {
        auto text =
            TextFile::read(QFile::encodeName(path).toStdString(), TextFile::Decoding::utf8OrLatin1);
        if (!text)
            return {nullptr, nullptr, DisplayText::toQString(text.error().message)};
        auto document =
            X12Parser::parse(std::move(*text), QFileInfo(path).fileName().toStdString());
        if (!document)
            return {nullptr, nullptr, DisplayText::toQString(description(document.error()))};
        // The views list children and badge rows with guide loops: made here, so the window
        // never waits for them. The guide check comes after the document is on screen.
        (*document)->listChildren();
        auto loops = std::make_shared<const X12GuideLoops>(X12GuideLoops::of(**document));
        return {std::move(*document), std::move(loops), std::nullopt};
    } catch (const std::bad_alloc &) {
        return {nullptr, nullptr, QStringLiteral("There is not enough memory to open this file.")};
    }
}

WindowSession::WindowSession(Platform &platform, QObject *parent)
    : QObject(parent), m_platform(platform), m_loader(&WindowSession::load),
      m_matches(sharedMatches())
{
    m_exportPool.setMaxThreadCount(1); // one export at a time
}

WindowSession::~WindowSession()
{
    m_searchStop.request_stop();
    // The export's worker writes beside the destination: stop it, and let it take its unfinished
    // file away, before the process can end.
    if (m_exportWatcher) {
        m_exportWatcher->cancel();
        m_exportWatcher->waitForFinished();
    }
}

void WindowSession::setLoader(Loader loader)
{
    m_loader = std::move(loader);
}

void WindowSession::setSearchText(const QString &text)
{
    if (text == m_searchText)
        return;
    m_searchText = text;
    search(true);
    emit searchTextChanged();
}

void WindowSession::setViewMode(ViewMode mode)
{
    if (mode == m_viewMode)
        return;
    m_viewMode = mode;
    emit viewModeChanged();
}

void WindowSession::setErrorMessage(std::optional<QString> message)
{
    m_errorMessage = std::move(message);
    emit errorMessageChanged();
}

void WindowSession::open(const QString &path)
{
    const std::uint64_t generation = ++m_generation;
    m_loadingFile = path;
    emit loadingChanged();
    auto *watcher = new QFutureWatcher<Loaded>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, generation, path] {
        watcher->deleteLater();
        finishOpen(generation, path, watcher->result());
    });
    watcher->setFuture(QtConcurrent::run([loader = m_loader, path] { return loader(path); }));
}

void WindowSession::finishOpen(std::uint64_t generation, const QString &path, Loaded loaded)
{
    // A later request is under way or done: this result is out of date.
    if (generation != m_generation)
        return;
    m_loadingFile.reset();
    // The failed file becomes the current one too; the previous document is dropped.
    m_document = std::move(loaded.document);
    m_loops = std::move(loaded.loops);
    // The envelope's findings are known at once; the guide check's follow.
    m_findings = m_document ? std::make_shared<const FindingList>(m_document, nullptr) : nullptr;
    m_checking = false;
    m_guideChecked = false;
    m_lastExport.reset();
    SegmentFilter::fitSpareLists(m_document ? m_document->segments().size() : 0);
    search(false);
    if (m_document && m_document->text().size() >= searchedAtOnce) {
        // The first search in a large file would otherwise find fresh memory for its lists:
        // they are readied now, while the user looks at the tree.
        (void)QtConcurrent::run([segments = m_document->segments().size()] {
            try {
                SegmentFilter::prepareRoom(segments);
            } catch (const std::bad_alloc &) {
                // Nothing is lost: the first search does it.
            }
        });
    }
    emit documentChanged();
    m_filePath = path;
    emit filePathChanged();
    setErrorMessage(std::move(loaded.failure));
    if (m_document)
        m_platform.noteRecentDocument(path);
    emit loadingChanged();
    if (m_document)
        checkGuides();
}

void WindowSession::checkGuides()
{
    struct Checked
    {
        std::shared_ptr<const X12GuideLoops> loops;
        std::shared_ptr<const FindingList> findings;
    };
    m_checking = true;
    auto *watcher = new QFutureWatcher<Checked>(this);
    connect(watcher, &QFutureWatcherBase::finished, this,
            [this, watcher, generation = m_generation] {
                watcher->deleteLater();
                Checked checked = watcher->result();
                // Another file was opened meanwhile: this check is of a document gone.
                if (generation != m_generation)
                    return;
                m_checking = false;
                if (!checked.loops)
                    return; // out of memory: the envelope's findings stay
                m_loops = std::move(checked.loops);
                m_findings = std::move(checked.findings);
                m_guideChecked = true;
                emit findingsChanged();
            });
    watcher->setFuture(QtConcurrent::run([document = m_document]() -> Checked {
        try {
            auto loops = std::make_shared<const X12GuideLoops>(X12GuideLoops::checked(*document));
            return {loops, std::make_shared<const FindingList>(document, loops)};
        } catch (const std::bad_alloc &) {
            return {};
        }
    }));
}

void WindowSession::showOpenPanel()
{
    QString folder;
    if (m_filePath)
        folder = QFileInfo(*m_filePath).absolutePath();
    else if (const QStringList recent = m_platform.recentDocuments(); !recent.isEmpty())
        folder = QFileInfo(recent.front()).absolutePath();
    const auto path = m_platform.chooseFileToOpen(
        QStringLiteral("Choose an X12 / EDI file (837, 835, 834, 270, 271, 277, 999, \u2026)"),
        folder);
    if (path)
        open(*path);
}

QString WindowSession::proposedExport(const QString &name) const
{
    if (!m_exportFolder.isEmpty())
        return QDir(m_exportFolder).filePath(name);
    return m_filePath ? QFileInfo(*m_filePath).dir().filePath(name) : name;
}

std::optional<QString> WindowSession::chooseExport(const QString &name, const QString &message,
                                                   ExportFormat format)
{
    auto destination = m_platform.chooseExportDestination(proposedExport(name), message, format);
    if (destination)
        m_exportFolder = QFileInfo(*destination).absolutePath();
    return destination;
}

void WindowSession::search(bool announce)
{
    const std::uint64_t generation = ++m_searchGeneration;
    m_searchStop.request_stop();
    m_searchStop = std::stop_source();
    m_searching = false;
    const std::string query = m_searchText.toStdString();
    if (!m_document) {
        m_matches = sharedMatches();
    } else if (m_document->text().size() < searchedAtOnce ||
               SegmentFilter::normalizedQuery(query).empty()) {
        m_matches = sharedMatches(SegmentFilter::matches(*m_document, *m_loops, query));
    } else {
        // Another document's list never stays beside this one: until the result, none.
        if (!announce)
            m_matches = sharedMatches();
        m_searching = true;
        auto *watcher = new QFutureWatcher<Matches>(this);
        connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, generation] {
            watcher->deleteLater();
            if (generation != m_searchGeneration)
                return; // a later search was asked for
            m_matches = watcher->result();
            m_searching = false;
            emit matchesChanged();
        });
        watcher->setFuture(QtConcurrent::run([document = m_document, loops = m_loops, query,
                                              stop = m_searchStop.get_token()]() -> Matches {
            try {
                return sharedMatches(SegmentFilter::matches(*document, *loops, query, stop));
            } catch (const std::bad_alloc &) {
                return sharedMatches();
            }
        }));
        return;
    }
    if (announce)
        emit matchesChanged();
}

void WindowSession::exportPDF()
{
    if (!m_document || m_export)
        return;
    const QString name = QString::fromStdString(m_document->fileName());
    const QString base = withoutExtension(name);
    const auto destination =
        chooseExport(base + QStringLiteral(".pdf"),
                     QStringLiteral("Export the formatted X12 document as PDF"), ExportFormat::pdf);
    if (!destination)
        return;
    // The report lists the guide's findings: those of the check done, else its own check's.
    auto checked = m_guideChecked ? m_loops : nullptr;
    startExport(Export{name, *destination, 0, false}, QStringLiteral("PDF export failed: "),
                [path = QFile::encodeName(*destination).toStdString(),
                 permissions = permissionsOf(m_filePath), checked = std::move(checked)](
                    const X12Document &document, ExportPromise &promise) {
                    promise.setProgressRange(0, 1000);
                    const auto written = PDFExporter::write(
                        document, path,
                        [&promise](double done) {
                            promise.setProgressValue(int(done * 1000));
                            return !promise.isCanceled();
                        },
                        permissions, checked.get());
                    if (written)
                        return Written{Written::Outcome::written,
                                       QFile::decodeName(QByteArray::fromStdString(written->path))};
                    if (written.error().error == PDFExporter::ExportError::cancelled)
                        return Written{Written::Outcome::cancelled, {}};
                    return Written{Written::Outcome::failed,
                                   DisplayText::toQString(written.error().description())};
                });
}

void WindowSession::exportCSV()
{
    if (!m_document || m_export)
        return;
    const QString name = QString::fromStdString(m_document->fileName());
    const QString base = withoutExtension(name);
    const auto destination =
        chooseExport(base + QStringLiteral(".csv"), QStringLiteral("Export every element as CSV"),
                     ExportFormat::csv);
    if (!destination)
        return;
    if (m_filePath && sameFile(*destination, *m_filePath)) {
        setErrorMessage(QStringLiteral("CSV export failed: \u201C%1\u201D is the file being shown; "
                                       "choose another name.")
                            .arg(*destination));
        return;
    }
    // The rows come in order, but not their count: how far the export is cannot be told.
    startExport(Export{name, *destination, -1, false}, QStringLiteral("CSV export failed: "),
                [path = QFile::encodeName(*destination).toStdString(),
                 permissions = permissionsOf(m_filePath)](const X12Document &document,
                                                          ExportPromise &promise) {
                    return writeCSV(document, path, permissions, promise);
                });
}

void WindowSession::startExport(
    Export work, const QString &failurePrefix,
    std::function<ExportResult(const X12Document &, ExportPromise &)> write)
{
    m_export = std::move(work);
    m_lastExport.reset();
    emit exportChanged();

    auto *watcher = new QFutureWatcher<Written>(this);
    m_exportWatcher = watcher;
    // Qt sends the progress a few times a second at most, not for every page. Until the writer
    // sets a range, there is none, and no progress to show.
    connect(watcher, &QFutureWatcherBase::progressValueChanged, this, [this, watcher](int value) {
        const int range = watcher->progressMaximum() - watcher->progressMinimum();
        if (m_export && range > 0) {
            m_export->done = double(value - watcher->progressMinimum()) / range;
            emit exportChanged();
        }
    });
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, failurePrefix] {
        watcher->deleteLater();
        m_exportWatcher = nullptr;
        // A cancelled future takes no result: the writer stopped, and wrote nothing.
        const Written result = watcher->future().resultCount() > 0
                                   ? watcher->result()
                                   : Written{Written::Outcome::cancelled, {}};
        m_export.reset();
        if (result.outcome == Written::Outcome::written)
            m_lastExport = result.text;
        emit exportChanged();
        if (result.outcome == Written::Outcome::written)
            m_platform.showInFileManager(result.text);
        else if (result.outcome == Written::Outcome::failed)
            setErrorMessage(failurePrefix + result.text);
        else
            emit exportCancelled(); // it wrote nothing, and is no failure
    });
    watcher->setFuture(QtConcurrent::run(
        &m_exportPool, [document = m_document, write = std::move(write)](ExportPromise &promise) {
            try {
                promise.addResult(write(*document, promise));
            } catch (const std::bad_alloc &) {
                promise.addResult(
                    Written{Written::Outcome::failed,
                            QStringLiteral("There is not enough memory to write the report.")});
            }
        }));
}

void WindowSession::cancelExport()
{
    if (!m_export || !m_exportWatcher || m_export->cancelling)
        return;
    m_exportWatcher->cancel();
    m_export->cancelling = true;
    emit exportChanged();
}

void WindowSession::dismissLastExport()
{
    if (!m_lastExport)
        return;
    m_lastExport.reset();
    emit exportChanged();
}

void WindowSession::showLastExport()
{
    if (m_lastExport)
        m_platform.showInFileManager(*m_lastExport);
}
