#include "cli/CommandLine.h"

#include "cli/FileReadAhead.h"
#include "core/output/OutputSink.h"
#include "core/output/FileOutput.h"
#include "core/text/TextFile.h"
#include "core/Version.h"
#include "core/text/VisibleText.h"
#include "core/output/X12Csv.h"
#include "core/output/X12FindingsText.h"
#include "core/output/X12Json.h"
#include "core/output/X12TreeText.h"
#include "core/parse/X12Parser.h"
#include "pdf/PDFExporter.h"

#include <QGuiApplication>
#include <QtGlobal>

#include <unicode/uversion.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <expected>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::string_view exportUsage = "usage: Kelvane --export-pdf <input> [output.pdf]";
constexpr std::string_view exportManyUsage =
    "usage: Kelvane --export-pdf --output-dir <folder> <input>...";
constexpr std::string_view jsonUsage = "usage: Kelvane --dump-json <file>...";
constexpr std::string_view csvUsage =
    "usage: Kelvane --dump-csv [--spreadsheet] <file> (one file at a time)";
constexpr std::string_view treeUsage = "usage: Kelvane --dump-tree <file>...";
constexpr std::string_view checkUsage = "usage: Kelvane --check <file>...";

constexpr std::string_view helpText =
    "usage: kelvane [FILE]\n"
    "       kelvane --dump-tree FILE...\n"
    "       kelvane --dump-json FILE...\n"
    "       kelvane --dump-csv [--spreadsheet] FILE\n"
    "       kelvane --check FILE...\n"
    "       kelvane --export-pdf INPUT [OUTPUT.pdf]\n"
    "       kelvane --export-pdf --output-dir FOLDER INPUT...\n"
    "\n"
    "Kelvane views ANSI ASC X12 EDI files. Without an option it opens FILE in the viewer window.\n"
    "Given several files, the text modes print each under a \"==> FILE <==\" line and\n"
    "--dump-json prints one JSON document a line (JSON Lines). A FILE of \"-\" is standard\n"
    "input; after \"--\" every argument is a FILE, even one that begins with \"-\".\n"
    "\n"
    "  --dump-tree FILE...   print the envelope and loop tree of FILE, one node a line\n"
    "  --dump-json FILE...   print the whole parse of FILE as one JSON document\n"
    "  --dump-csv FILE       print every element of FILE as a row of CSV\n"
    "  --spreadsheet         with --dump-csv: write the CSV for spreadsheets (byte-order mark,\n"
    "                        formulas guarded), as File > Export as CSV does\n"
    "  --check FILE...       list broken envelopes and wrong counts; status 3 when there are any\n"
    "  --export-pdf INPUT [OUTPUT.pdf]\n"
    "                        write the PDF report of INPUT (by default next to it, as .pdf)\n"
    "  --output-dir FOLDER   with --export-pdf: write the report of every INPUT into FOLDER\n"
    "  -h, --help            show this help\n"
    "  --version             show the versions of Kelvane, Qt and ICU\n";

/// The last component of a path, as a file name to show: "dir/claims.edi" gives "claims.edi".
/// A name that is not UTF-8 has its stray bytes shown as U+FFFD.
std::string lastPathComponent(std::string_view path)
{
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    const std::size_t slash = path.rfind('/');
    if (slash != std::string_view::npos && path.size() > 1)
        path.remove_prefix(slash + 1);
    return VisibleText::validUtf8(path);
}

/// Text for the terminal: valid UTF-8, with control characters as visible symbols, so a name or
/// a value can neither forge a line nor send escape sequences.
std::string printable(std::string_view text)
{
    return VisibleText::visible(VisibleText::validUtf8(text));
}

/// The options of the modes.
bool isModeOption(std::string_view argument)
{
    return argument == "--dump-tree" || argument == "--dump-json" || argument == "--dump-csv" ||
           argument == "--check" || argument == "--export-pdf";
}

bool isKnownOption(std::string_view argument)
{
    return isModeOption(argument) || argument == "--output-dir" || argument == "--spreadsheet" ||
           argument == "--help" || argument == "-h" || argument == "--version";
}

/// A mode's file operands, or the first argument that looks like an option and is none.
struct Operands
{
    std::vector<std::string_view> files;
    std::optional<std::string_view> unknown;
};

/// The files of the mode whose option stands at `option`: the arguments after it up to the
/// next option of a mode (a later one is never looked at), leaving out the options and
/// --output-dir's folder; "-" is standard input, and after "--" every argument is a file. When
/// `firstIsFile`, the argument right after the option is a file whatever it looks like (but "--"
/// and --dump-csv's "--spreadsheet"). Any other argument that begins with "-" is unknown: it may be
/// a file whose name begins with "-", and a file is never dropped silently.
Operands operandsAfter(std::span<const std::string_view> arguments, std::size_t option,
                       bool firstIsFile)
{
    Operands operands;
    bool onlyFiles = false;
    for (std::size_t i = option + 1; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (onlyFiles || argument == "-" ||
            (firstIsFile && i == option + 1 && argument != "--" && argument != "--spreadsheet")) {
            operands.files.push_back(argument);
        } else if (argument == "--") {
            onlyFiles = true;
        } else if (argument == "--output-dir") {
            ++i;
        } else if (isModeOption(argument)) {
            break;
        } else if (argument.starts_with('-')) {
            if (!isKnownOption(argument)) {
                operands.unknown = argument;
                return operands;
            }
        } else {
            operands.files.push_back(argument);
        }
    }
    return operands;
}

int fail(int errFd, std::string_view description)
{
    OutputSink err(errFd, 4096);
    err.write("error: ");
    err.write(printable(description));
    err.put('\n');
    return 1;
}

int usage(int errFd, std::string_view text)
{
    OutputSink err(errFd, 4096);
    err.write(text);
    err.put('\n');
    return 2;
}

/// An argument that looks like an option and is none: status 2, with how to name a file whose
/// name begins with "-".
int unknownOption(int errFd, std::string_view argument, std::string_view usageText)
{
    OutputSink err(errFd, 4096);
    const std::string shown = printable(argument);
    err.write("error: unknown option \u201C" + shown +
              "\u201D; to name a file that begins with \u201C-\u201D, write \u201C./" + shown +
              "\u201D or put \u201C--\u201D before it\n");
    err.write(usageText);
    err.put('\n');
    return 2;
}

/// Ends an output: 0 when everything was written (or the reader left early), else 1 with a message.
int finishOutput(OutputSink &out, int errFd)
{
    if (out.flush() || out.readerGone())
        return 0;
    std::string message = "cannot write to standard output: ";
    message += std::strerror(out.error());
    return fail(errFd, message);
}

/// How a file operand is named in headers and messages: as given, standard input as such.
std::string_view shownPath(std::string_view path)
{
    return isStandardInput(path) ? TextFile::standardInputName : path;
}

/// The document's name: the path's last component.
std::string documentName(std::string_view path)
{
    return isStandardInput(path) ? std::string(TextFile::standardInputName)
                                 : lastPathComponent(path);
}

/// Reads a file operand whole and decodes it; "-" is standard input.
std::expected<std::string, TextFile::Error> readInput(std::string_view path,
                                                      TextFile::Decoding decoding)
{
    if (!isStandardInput(path))
        return TextFile::read(std::string(path), decoding);
    auto bytes = TextFile::readStandardInput();
    if (!bytes)
        return bytes;
    return TextFile::decode(std::move(*bytes), decoding, TextFile::standardInputName);
}

/// Reads and parses a file; on failure reports it and gives the exit status instead.
std::expected<std::shared_ptr<const X12Document>, int> load(std::string_view path,
                                                            TextFile::Decoding decoding, int errFd)
{
    auto text = readInput(path, decoding);
    if (!text)
        return std::unexpected(fail(errFd, text.error().description()));
    auto document = X12Parser::parse(std::move(*text), documentName(path));
    if (!document)
        return std::unexpected(fail(errFd, description(document.error())));
    return *document;
}

/// The status of a run over several files: 1 when any failed, else 3 when any has findings.
int worse(int a, int b)
{
    return a == 1 || b == 1 ? 1 : std::max(a, b);
}

/// Documents of fewer bytes than this have their output made on the worker that parsed them, so
/// that many small files are written on every core too (a large one is rendered on every core
/// by itself); a few of them in flight hold a few tens of megabytes at most.
constexpr std::size_t renderedAhead = 1u << 20;

/// For modes whose output is made as the file is written.
constexpr auto nothingAhead = [](const X12Document &, std::string &) { return false; };

LoadedFile loadFile(std::string_view path, TextFile::Decoding decoding)
{
    LoadedFile file;
    const std::string quotedPath = "\u201C" + std::string(shownPath(path)) + "\u201D";
    try {
        auto text = readInput(path, decoding);
        if (!text) {
            file.error = text.error().description(); // names the path already
            return file;
        }
        auto document = X12Parser::parse(std::move(*text), documentName(path));
        if (document)
            file.document = std::move(*document);
        else
            file.error = quotedPath + ": " + std::string(description(document.error()));
    } catch (const std::bad_alloc &) {
        // On a worker nothing would catch it: one file too big for memory must not end the run.
        file.document.reset();
        char limit[128];
        CommandLine::describeMemoryLimit(limit, sizeof limit);
        file.error = quotedPath + ": not enough memory to open this file" + limit;
        file.outOfMemory = true;
    } catch (const std::exception &e) {
        file.document.reset();
        file.error = quotedPath + ": " + e.what();
    }
    return file;
}

/// Reads and parses the files on every core, ahead of the one in use within a budget of bytes
/// (see FileReadAhead), and hands them to use(index, file) on this thread in the order given.
/// For a small document render(document, output) may make its output where it was parsed, and
/// returns whether it did. Stops when use returns false.
template <typename Render, typename Use>
void forEachFile(std::span<const std::string_view> paths, TextFile::Decoding decoding,
                 Render &&render, Use &&use)
{
#if defined(__GLIBC__)
    // Each file's document and output buffers are freed before the next file's are allocated.
    // By default glibc gives the freed top of the heap back to the system each time and the next
    // file faults the same pages in again: that doubled the time of --dump-json on 1,000 small
    // files. Keep up to 64 MiB of it for the next file instead, unless memory is limited.
    if (!CommandLine::memoryLimit()) {
        ::mallopt(M_TRIM_THRESHOLD, 64 << 20);
        ::mallopt(M_MMAP_THRESHOLD, 32 << 20);
    }
#endif
    FileReadAhead files(paths, [paths, decoding, &render](std::size_t index, LoadedFile &file) {
        std::string buffer = std::move(file.output); // a spare one, to render into
        file = loadFile(paths[index], decoding);
        file.output = std::move(buffer);
        if (file.document && file.document->text().size() < renderedAhead) {
            try {
                file.rendered = render(*file.document, file.output);
            } catch (...) {
                // Made again in its turn, where a failure is reported.
                file.rendered = false;
                std::string().swap(file.output);
            }
        }
    });
    for (std::size_t index = 0; index < paths.size(); ++index) {
        const bool more = use(index, files.take(index));
        files.release(index);
        if (!more)
            return;
    }
}

/// "==> claims.edi <==" before each file's output, as head and tail name theirs, with a blank
/// line between files.
void writeFileHeader(OutputSink &out, std::size_t index, std::string_view path)
{
    if (index > 0)
        out.put('\n');
    out.write("==> ");
    out.write(printable(shownPath(path)));
    out.write(" <==\n");
}

/// Runs a text mode on every file, each under its header; a file that cannot be read or parsed
/// is reported on standard error under its header, and the next one follows. write(document,
/// out) gives the file's status; a file whose output render made ahead has status 0.
template <typename Render, typename Write>
int eachFile(std::span<const std::string_view> paths, TextFile::Decoding decoding, int outFd,
             int errFd, Render &&render, Write &&write)
{
    OutputSink out(outFd);
    int status = 0;
    forEachFile(paths, decoding, render, [&](std::size_t index, const LoadedFile &file) {
        writeFileHeader(out, index, paths[index]);
        if (file.rendered) {
            out.write(file.output);
        } else if (file.document) {
            status = worse(status, write(*file.document, out));
        } else {
            out.flush(); // the error belongs after the header on a terminal
            status = worse(status, fail(errFd, file.error));
        }
        // Each file's output leaves as soon as it is made: a later file that is slow to come
        // (a pipe) or an interruption must not hold back the ones before it.
        return out.flush();
    });
    return worse(status, finishOutput(out, errFd));
}

int dumpTree(std::span<const std::string_view> paths, int outFd, int errFd)
{
    if (paths.size() > 1) {
        return eachFile(
            paths, TextFile::Decoding::strictUtf8, outFd, errFd,
            [](const X12Document &document, std::string &output) {
                X12TreeText::append(document, output);
                return true;
            },
            [](const X12Document &document, OutputSink &out) {
                X12TreeText::write(document, std::ref(out));
                return 0;
            });
    }
    const auto document = load(paths.front(), TextFile::Decoding::strictUtf8, errFd);
    if (!document)
        return document.error();
    OutputSink out(outFd);
    X12TreeText::write(**document, std::ref(out));
    return finishOutput(out, errFd);
}

/// The whole parse as JSON. The file is read as UTF-8, else ISO Latin 1, like the window.
/// Several files give JSON Lines: a document a line, in the order given; a file that cannot be
/// read or parsed gives {"fileName":...,"error":...} in its place, and the error on standard
/// error too.
int dumpJSON(std::span<const std::string_view> paths, int outFd, int errFd)
{
    OutputSink out(outFd);
    if (paths.size() == 1) {
        const auto document = load(paths.front(), TextFile::Decoding::utf8OrLatin1, errFd);
        if (!document)
            return document.error();
        X12Json::write(**document, std::ref(out));
        return finishOutput(out, errFd);
    }
    int status = 0;
    auto renderLine = [](const X12Document &document, std::string &output) {
        return X12Json::write(
            document,
            [&output](std::string_view piece) {
                output += piece;
                return true;
            },
            X12Json::Layout::oneLine);
    };
    forEachFile(paths, TextFile::Decoding::utf8OrLatin1, renderLine,
                [&](std::size_t index, const LoadedFile &file) {
                    if (file.rendered) {
                        out.write(file.output);
                    } else if (file.document) {
                        X12Json::write(*file.document, std::ref(out), X12Json::Layout::oneLine);
                    } else {
                        out.flush();
                        status = fail(errFd, file.error);
                        out.write(X12Json::errorLine(documentName(paths[index]), file.error));
                    }
                    return out.flush(); // a line leaves as soon as it is made
                });
    return worse(status, finishOutput(out, errFd));
}

/// Every element as a row of CSV, for scripts: the values exactly as the file has them; or, for
/// spreadsheets, as the window exports it (a byte-order mark, formulas guarded). The file is read
/// as UTF-8, else ISO Latin 1.
int dumpCSV(std::span<const std::string_view> paths, bool spreadsheet, int outFd, int errFd)
{
    // Several tables in one stream would not be one CSV file.
    if (paths.size() != 1)
        return usage(errFd, csvUsage);
    const auto document = load(paths.front(), TextFile::Decoding::utf8OrLatin1, errFd);
    if (!document)
        return document.error();
    OutputSink out(outFd);
    X12Csv::write(**document, std::ref(out),
                  {.byteOrderMark = spreadsheet, .guardFormulas = spreadsheet});
    return finishOutput(out, errFd);
}

/// The input's path with its last extension replaced by "pdf": claims.txt gives claims.pdf,
/// claims gives claims.pdf, archive.edi.txt gives archive.edi.pdf.
std::string defaultOutput(std::string_view input)
{
    const std::size_t slash = input.rfind('/');
    const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    const std::size_t dot = input.rfind('.');
    if (dot != std::string_view::npos && dot > nameStart)
        input = input.substr(0, dot);
    return std::string(input) + ".pdf";
}

/// Qt's own warnings (a missing runtime folder and the like) would land between our output lines.
void quietQtMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtFatalMsg || type == QtCriticalMsg)
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

/// The findings, one line each, then their counts. Status 3 when there are findings.
int writeFindings(const X12Document &document, OutputSink &out)
{
    return X12FindingsText::write(document, std::ref(out)) == 0 ? 0 : 3;
}

int check(std::span<const std::string_view> paths, int outFd, int errFd)
{
    if (paths.size() > 1)
        return eachFile(paths, TextFile::Decoding::utf8OrLatin1, outFd, errFd, nothingAhead,
                        writeFindings);
    const auto document = load(paths.front(), TextFile::Decoding::utf8OrLatin1, errFd);
    if (!document)
        return document.error();
    OutputSink out(outFd);
    const int findings = writeFindings(**document, out);
    const int status = finishOutput(out, errFd);
    return status != 0 ? status : findings;
}

/// Why an existing destination must not be replaced, or nothing. Sameness with the input is
/// decided by the file system (device and inode), whatever the two paths look like.
std::optional<std::string> refusal(const std::string &input, const std::string &output)
{
    struct stat outputInfo
    {
    };
    if (::stat(output.c_str(), &outputInfo) != 0)
        return std::nullopt; // nothing there yet; the writer reports a missing folder
    struct stat inputInfo
    {
    };
    if (::stat(input.c_str(), &inputInfo) == 0 && inputInfo.st_dev == outputInfo.st_dev &&
        inputInfo.st_ino == outputInfo.st_ino)
        return "the output \u201C" + output + "\u201D is the input file; give another output path";
    // Devices and pipes are written to, folders refused by the writer; an empty file holds
    // nothing to lose.
    if (!S_ISREG(outputInfo.st_mode) || outputInfo.st_size == 0)
        return std::nullopt;
    const int fd = ::open(output.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return "cannot read \u201C" + output +
               "\u201D to see whether it is a PDF report: " + std::strerror(errno);
    }
    char start[5] = {};
    ssize_t got;
    while ((got = ::read(fd, start, sizeof start)) < 0 && errno == EINTR) {
    }
    ::close(fd);
    if (got != ssize_t(sizeof start) || std::string_view(start, sizeof start) != "%PDF-")
        return "\u201C" + output +
               "\u201D already exists and is not a PDF report; give another output path";
    return std::nullopt;
}

/// A long export's progress on a terminal, as curl and pv show theirs: one line on standard error,
/// redrawn in place a few times a second and cleared at the end. Nothing when standard error is
/// not a terminal.
class TerminalProgress
{
public:
    explicit TerminalProgress(int fd) : m_fd(fd), m_enabled(::isatty(fd) == 1) {}
    TerminalProgress(const TerminalProgress &) = delete;
    TerminalProgress &operator=(const TerminalProgress &) = delete;
    ~TerminalProgress() { finish(); }

    bool operator()(double done)
    {
        ++m_pages;
        if (!m_enabled)
            return true;
        const auto now = std::chrono::steady_clock::now();
        // Short exports finish before anything is shown.
        if (now - m_start < std::chrono::milliseconds(300) ||
            now - m_shown < std::chrono::milliseconds(100))
            return true;
        m_shown = now;
        m_visible = true;
        const std::string line = "\rWriting the report: page " + std::to_string(m_pages) +
                                 " \u00B7 " + std::to_string(int(done * 100)) + "% of segments";
        FileOutput::writeAll(m_fd, line);
        return true;
    }

    void finish()
    {
        if (m_visible)
            FileOutput::writeAll(m_fd, "\r\x1B[K");
        m_visible = false;
    }

private:
    int m_fd;
    bool m_enabled;
    bool m_visible = false;
    int m_pages = 0;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point m_shown{};
};

/// Runs `run` with the painting the report needs, on no display. The status is run's.
template <typename Run>
int withOffscreenGui(Run &&run)
{
    qInstallMessageHandler(quietQtMessages);
    int qtArgc = 3;
    char program[] = "kelvane", platformOption[] = "-platform", platform[] = "offscreen";
    char *qtArgv[] = {program, platformOption, platform, nullptr};
    QGuiApplication application(qtArgc, qtArgv);
    return run();
}

/// Writes the report of `input`, the destination having been checked, and prints the summary
/// line and where it went. The status.
int writeReport(const X12Document &document, std::string_view input, const std::string &output,
                OutputSink &out, int errFd)
{
    out.flush(); // what came before belongs above the progress and the messages
    TerminalProgress progress(errFd);
    const auto written = PDFExporter::write(
        document, output, [&progress](double done) { return progress(done); },
        FileOutput::permissionsOf(isStandardInput(input) ? "/dev/stdin" : std::string(input)));
    progress.finish();
    if (!written)
        return fail(errFd, written.error().description());
    if (const std::size_t cut = written->shortenedTexts; cut > 0) {
        OutputSink err(errFd, 4096);
        err.write("warning: " + std::to_string(cut) +
                  (cut == 1 ? " text longer than 1 MiB was" : " texts longer than 1 MiB were") +
                  " cut short in the report, where \u201C\u2026 N more characters\u201D marks the "
                  "cut\n");
    }
    out.write(printable(document.summaryLine()));
    out.put('\n');
    out.write("Wrote ");
    out.write(printable(written->path));
    out.put('\n');
    return 0;
}

/// Why the reports cannot go into the folder, or nothing.
std::optional<std::string> folderProblem(const std::string &folder)
{
    struct stat info
    {
    };
    if (::stat(folder.c_str(), &info) != 0)
        return "cannot use the output folder \u201C" + folder + "\u201D: " + std::strerror(errno);
    if (!S_ISDIR(info.st_mode))
        return "the output folder \u201C" + folder + "\u201D is not a folder";
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        return "cannot write into the output folder \u201C" + folder +
               "\u201D: " + std::strerror(errno);
    return std::nullopt;
}

/// Where the report of `input` goes in `folder`: its name with the extension replaced by .pdf,
/// byte for byte (dir/claims.edi gives folder/claims.pdf).
std::string reportIn(std::string_view folder, std::string_view input)
{
    while (input.size() > 1 && input.back() == '/')
        input.remove_suffix(1);
    if (const std::size_t slash = input.rfind('/'); slash != std::string_view::npos)
        input.remove_prefix(slash + 1);
    std::string path(folder);
    if (!path.ends_with('/'))
        path += '/';
    return path + defaultOutput(input);
}

/// The reports of several inputs, each into the folder under its own name. An input whose
/// report would take the name of one written earlier in the run (two claims.edi in different
/// folders, or one file given twice) is refused rather than written over it, and so is an input
/// that is a PDF file (a glob that caught the reports); the others are written.
int exportReports(std::span<const std::string_view> inputs, const std::string &folder, int outFd,
                  int errFd)
{
    if (const auto problem = folderProblem(folder))
        return fail(errFd, *problem);
    return withOffscreenGui([&] {
        OutputSink out(outFd, 4096);
        std::set<std::string> written;
        int status = 0;
        forEachFile(inputs, TextFile::Decoding::utf8OrLatin1, nothingAhead,
                    [&](std::size_t index, const LoadedFile &file) {
                        if (inputs.size() > 1)
                            writeFileHeader(out, index, inputs[index]);
                        const std::string input(inputs[index]);
                        const std::string output = reportIn(folder, input);
                        std::optional<std::string> problem;
                        if (isStandardInput(input))
                            problem = "standard input has no name to name its report after; "
                                      "give a file";
                        else if (!file.document)
                            problem = file.error;
                        else if (file.document->text().starts_with("%PDF-"))
                            problem = "\u201C" + input + "\u201D is a PDF file, not X12";
                        else if (written.contains(output))
                            problem = "the report of \u201C" + input +
                                      "\u201D would replace \u201C" + output +
                                      "\u201D, written earlier in this run; export "
                                      "it on its own";
                        else
                            problem = refusal(input, output);
                        if (problem) {
                            out.flush();
                            status = worse(status, fail(errFd, *problem));
                        } else {
                            const int reportStatus =
                                writeReport(*file.document, input, output, out, errFd);
                            if (reportStatus == 0)
                                written.insert(output);
                            status = worse(status, reportStatus);
                        }
                        return out.flush();
                    });
        return worse(status, finishOutput(out, errFd));
    });
}

/// --export-pdf INPUT [OUTPUT.pdf]: the operands are the arguments after the option that do not
/// begin with "-". --export-pdf --output-dir FOLDER INPUT...: FOLDER wherever it stands, and the
/// inputs as the other modes take their files.
int exportPDF(std::span<const std::string_view> arguments, std::size_t optionIndex, int outFd,
              int errFd)
{
    const auto folderOption = std::find(arguments.begin(), arguments.end(), "--output-dir");
    const std::size_t folderIndex =
        folderOption == arguments.end() ? 0 : std::size_t(folderOption - arguments.begin()) + 1;
    if (folderIndex != 0) {
        const Operands inputs = operandsAfter(arguments, optionIndex, false);
        if (inputs.unknown)
            return unknownOption(errFd, *inputs.unknown, exportManyUsage);
        if (folderIndex >= arguments.size() || inputs.files.empty())
            return usage(errFd, exportManyUsage);
        return exportReports(inputs.files, std::string(arguments[folderIndex]), outFd, errFd);
    }
    std::vector<std::string_view> operands;
    for (std::size_t i = optionIndex + 1; i < arguments.size(); ++i) {
        if (!arguments[i].starts_with('-'))
            operands.push_back(arguments[i]);
    }

    if (operands.empty())
        return usage(errFd, exportUsage);
    const std::string input(operands.front());
    const std::string output =
        operands.size() > 1 ? std::string(operands[1]) : defaultOutput(input);
    const auto document = load(input, TextFile::Decoding::utf8OrLatin1, errFd);
    if (!document)
        return document.error();
    if (const auto reason = refusal(input, output))
        return fail(errFd, *reason);
    return withOffscreenGui([&] {
        OutputSink out(outFd, 4096);
        const int status = writeReport(**document, input, output, out, errFd);
        return status != 0 ? status : finishOutput(out, errFd);
    });
}

/// "Kelvane 0.1.0 (Qt 6.4.2, ICU 72.1)": the libraries' versions are those loaded at run time,
/// which a bug report needs more than the ones Kelvane was built against.
std::string versionLine()
{
    UVersionInfo icu{};
    u_getVersion(icu);
    char icuText[U_MAX_VERSION_STRING_LENGTH] = {};
    u_versionToString(icu, icuText);
    std::string line = "Kelvane ";
    line += kelvane::versionString;
    line += " (Qt ";
    line += qVersion();
    line += ", ICU ";
    line += icuText;
    line += ")\n";
    return line;
}

int printText(int fd, std::string_view text, int errFd)
{
    OutputSink out(fd, 4096);
    out.write(text);
    return finishOutput(out, errFd);
}

} // namespace

namespace CommandLine {

std::optional<int> run(std::span<const std::string_view> arguments, int outFd, int errFd)
{
    if (arguments.empty())
        return std::nullopt;

    // A mode runs on the files after its option (see operandsAfter); an argument that looks
    // like an option and is none stops it with a usage error.
    auto runOnFiles = [&](auto option, std::string_view usageText, auto &&mode) -> int {
        const Operands operands =
            operandsAfter(arguments, std::size_t(option - arguments.begin()), true);
        if (operands.unknown)
            return unknownOption(errFd, *operands.unknown, usageText);
        if (operands.files.empty())
            return usage(errFd, usageText);
        return mode(operands.files);
    };

    // The first "--dump-tree" decides, and only when a path follows it, whatever the path looks
    // like.
    const auto dump = std::find(arguments.begin(), arguments.end(), "--dump-tree");
    if (dump != arguments.end() && dump + 1 != arguments.end()) {
        return runOnFiles(dump, treeUsage, [&](std::span<const std::string_view> files) {
            return dumpTree(files, outFd, errFd);
        });
    }

    const auto exportOption = std::find(arguments.begin(), arguments.end(), "--export-pdf");
    if (exportOption != arguments.end())
        return exportPDF(arguments, std::size_t(exportOption - arguments.begin()), outFd, errFd);

    // Looked at only after the two modes above, so they keep their precedence.
    // Unlike --dump-tree, these never fall through to the window: without a file they are a
    // mistake in a script, which wants a usage message and a status.
    const auto json = std::find(arguments.begin(), arguments.end(), "--dump-json");
    if (json != arguments.end()) {
        return runOnFiles(json, jsonUsage, [&](std::span<const std::string_view> files) {
            return dumpJSON(files, outFd, errFd);
        });
    }
    const auto csv = std::find(arguments.begin(), arguments.end(), "--dump-csv");
    if (csv != arguments.end()) {
        const bool spreadsheet =
            std::find(arguments.begin(), arguments.end(), "--spreadsheet") != arguments.end();
        return runOnFiles(csv, csvUsage, [&](std::span<const std::string_view> files) {
            return dumpCSV(files, spreadsheet, outFd, errFd);
        });
    }
    const auto checkOption = std::find(arguments.begin(), arguments.end(), "--check");
    if (checkOption != arguments.end()) {
        return runOnFiles(checkOption, checkUsage, [&](std::span<const std::string_view> files) {
            return check(files, outFd, errFd);
        });
    }

    for (std::string_view argument : arguments.subspan(1)) {
        if (argument == "--help" || argument == "-h")
            return printText(outFd, helpText, errFd);
        if (argument == "--version")
            return printText(outFd, versionLine(), errFd);
    }
    return std::nullopt;
}

std::optional<MemoryLimit> memoryLimit() noexcept
{
    std::optional<MemoryLimit> smallest;
    for (const auto &[resource, option] :
         {std::pair{RLIMIT_AS, "-v"}, std::pair{RLIMIT_DATA, "-d"}}) {
        struct rlimit current;
        if (::getrlimit(resource, &current) == 0 && current.rlim_cur != RLIM_INFINITY &&
            (!smallest || current.rlim_cur < smallest->bytes))
            smallest = MemoryLimit{current.rlim_cur, option};
    }
    return smallest;
}

void describeMemoryLimit(char *text, std::size_t size) noexcept
{
    if (size == 0)
        return;
    const std::optional<MemoryLimit> limit = memoryLimit();
    if (!limit) {
        text[0] = '\0';
        return;
    }
    const double mebibytes = double(limit->bytes) / (1024.0 * 1024.0);
    std::snprintf(text, size, " within this process's limit of %.*f %s (ulimit %s)",
                  mebibytes < 1024 ? 0 : 1, mebibytes < 1024 ? mebibytes : mebibytes / 1024,
                  mebibytes < 1024 ? "MiB" : "GiB", limit->option);
}

void reportOutOfMemory(int errFd) noexcept
{
    char limit[128];
    describeMemoryLimit(limit, sizeof limit);
    char message[192];
    std::snprintf(message, sizeof message, "error: not enough memory for this file%s\n", limit);
    FileOutput::writeAll(errFd, message);
}

void runIfRequested(int argc, char **argv)
{
    std::vector<std::string_view> arguments(argv, argv + std::max(argc, 0));
    const std::optional<int> status = run(arguments, STDOUT_FILENO, STDERR_FILENO);
    if (status)
        std::exit(*status);
}

} // namespace CommandLine
