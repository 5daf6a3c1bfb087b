#pragma once

#include <QObject>
#include <QString>
#include <QThreadPool>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <vector>

class Platform;
enum class ExportFormat;
class QFutureWatcherBase;
class X12Document;
class X12GuideLoops;
class FindingList;
template <typename T>
class QPromise;

/// The one observable state of the window: the document shown, the file it came from, the last
/// error, the search text and the view mode, the work under way (an open, an export) and the
/// user's commands on them. Its methods run on the main thread; reading, parsing and writing run
/// on workers, which hold the document by shared ownership and hand their results back through
/// the event loop. The main thread never waits for them.
class WindowSession : public QObject
{
    Q_OBJECT

public:
    enum class ViewMode { outline, segments, raw };
    static constexpr ViewMode allViewModes[] = {ViewMode::outline, ViewMode::segments,
                                                ViewMode::raw};
    /// "Outline", "Segments", "Raw": the mode's raw value and its title.
    static QString title(ViewMode mode);
    /// The mode with exactly that raw value, or nothing.
    static std::optional<ViewMode> viewMode(const QString &rawValue);

    /// What reading a file gives: a document with its guide loops beside it, or the message of
    /// why there is none.
    struct Loaded
    {
        std::shared_ptr<const X12Document> document;
        std::shared_ptr<const X12GuideLoops> loops;
        std::optional<QString> failure;
    };
    /// Reads (UTF-8, else ISO Latin 1) and parses a file; runs on a worker thread.
    using Loader = std::function<Loaded(const QString &path)>;
    static Loaded load(const QString &path) noexcept;

    /// What an export's worker hands back.
    struct ExportResult;

    /// An export under way.
    struct Export
    {
        QString fileName;    // of the document being exported
        QString destination; // as the user chose it
        double done = 0;     // from 0 to 1, or below 0 while unknown
        bool cancelling = false;
    };

    explicit WindowSession(Platform &platform, QObject *parent = nullptr);
    /// Cancels an export under way and waits for it to let go of its file; an open under way is
    /// left to finish on its own, its result unread.
    ~WindowSession() override;

    std::shared_ptr<const X12Document> document() const { return m_document; }
    /// Where the document's segments sit in the loops of their guides, and once the guide check
    /// is done, what they break of them; null without a document.
    std::shared_ptr<const X12GuideLoops> loops() const { return m_loops; }
    /// The document's findings: the envelope's at once, with the guide check's once it is done
    /// (findingsChanged); null without a document.
    std::shared_ptr<const FindingList> findings() const { return m_findings; }
    /// True while the document shown is being checked against its guides, on a worker.
    bool isChecking() const { return m_checking; }
    const std::optional<QString> &filePath() const { return m_filePath; }
    const std::optional<QString> &errorMessage() const { return m_errorMessage; }
    const QString &searchText() const { return m_searchText; }
    ViewMode viewMode() const { return m_viewMode; }
    /// The file being opened, while it is.
    const std::optional<QString> &loadingFile() const { return m_loadingFile; }
    /// The export under way, if any.
    const std::optional<Export> &currentExport() const { return m_export; }
    /// The absolute path of the report the last export wrote, until the next change of document
    /// or the next export.
    const std::optional<QString> &lastExport() const { return m_lastExport; }
    /// True while an open or an export is under way.
    bool isBusy() const { return m_loadingFile.has_value() || m_export.has_value(); }

    void setSearchText(const QString &text);
    void setViewMode(ViewMode mode);

    /// Starts opening a file. The latest request wins: the result of an earlier one that arrives
    /// later is dropped. The document, or the error, arrives through documentChanged and
    /// errorMessageChanged.
    void open(const QString &path);
    /// Asks for a file and opens it; the panel starts in the folder of the file shown, else of the
    /// last file opened.
    void showOpenPanel();
    /// Indices of the segments that match the search text, in document order: the latest search
    /// that finished for the document shown. The search of a large document runs on a worker;
    /// until it ends, the previous search's list stays (none for a document just opened), and
    /// matchesChanged announces the new one. Shared, so the views hold it without copying
    /// millions of indices.
    std::shared_ptr<const std::vector<std::uint32_t>> filteredSegments() const { return m_matches; }
    /// True while a search runs on a worker for the current document and search text.
    bool isSearching() const { return m_searching; }
    /// Asks for a destination (proposed in the folder of the last export, else beside the file)
    /// and writes the PDF report there on a worker; one export at a time.
    void exportPDF();
    /// Asks for a destination (proposed as a PDF is, as .csv) and writes every element there
    /// as CSV for spreadsheets on a worker: with a UTF-8 byte-order mark, and an apostrophe before
    /// text a spreadsheet would run as a formula. Never the file itself.
    void exportCSV();
    /// Asks the export under way to stop; nothing is written.
    void cancelExport();
    /// Forgets the message of the last export (the user closed it).
    void dismissLastExport();
    /// Shows the last report in the file manager.
    void showLastExport();

    /// How files are read and parsed (tests gate it to order the work).
    void setLoader(Loader loader);

signals:
    void documentChanged();
    void filePathChanged();
    void errorMessageChanged();
    void searchTextChanged();
    /// filteredSegments() has the matches of another search text or document.
    void matchesChanged();
    void viewModeChanged();
    void loadingChanged();
    /// The export under way began, moved on, or ended; lastExport() may have changed.
    void exportChanged();
    /// The export under way stopped when asked to, and wrote nothing.
    void exportCancelled();
    /// The guide check of the document shown is done: loops() and findings() have its findings.
    void findingsChanged();

private:
    void setErrorMessage(std::optional<QString> message);
    /// Where an export is proposed, as `name` there: the folder of the last export, else the
    /// document's.
    QString proposedExport(const QString &name) const;
    /// Asks for an export's destination; remembers its folder for the next export.
    std::optional<QString> chooseExport(const QString &name, const QString &message,
                                        ExportFormat format);
    void finishOpen(std::uint64_t generation, const QString &path, Loaded loaded);
    /// Checks the document shown against its guides on a worker; the findings count only if
    /// no other file was opened meanwhile.
    void checkGuides();

    Platform &m_platform;
    Loader m_loader;
    std::shared_ptr<const X12Document> m_document;
    std::shared_ptr<const X12GuideLoops> m_loops;
    std::shared_ptr<const FindingList> m_findings;
    std::optional<QString> m_filePath;
    std::optional<QString> m_errorMessage;
    QString m_searchText;
    ViewMode m_viewMode = ViewMode::outline;
    std::optional<QString> m_loadingFile;
    std::uint64_t m_generation = 0; // of the latest open request
    std::optional<Export> m_export;
    std::optional<QString> m_lastExport;
    QString m_exportFolder; // the folder of the last export asked for, if any
    bool m_checking = false;
    bool m_guideChecked = false; // m_loops holds the guide check's findings

    /// Runs `write` on the exports' own thread as the export under way, `work`; a failure's
    /// message starts with `failurePrefix`. The writer reports its progress, and learns of a
    /// cancel, through its promise.
    void
    startExport(Export work, const QString &failurePrefix,
                std::function<ExportResult(const X12Document &, QPromise<ExportResult> &)> write);
    QFutureWatcherBase *m_exportWatcher = nullptr; // of the export under way
    // Exports take long and run on a thread of their own, so that an open never waits for one.
    QThreadPool m_exportPool;
    /// Searches the document shown for the search text: at once for a small document or an
    /// empty text, else on a worker whose result only counts if no later search was asked for.
    /// `announce`: emit matchesChanged for a result found at once (an open announces its own).
    void search(bool announce);
    std::shared_ptr<const std::vector<std::uint32_t>> m_matches;
    std::uint64_t m_searchGeneration = 0; // of the latest search asked for
    std::stop_source m_searchStop;        // of the search on a worker, if any
    bool m_searching = false;
};
