// --export-pdf: the PDF report of a file, beside it or where named, or of several files into a
// folder.

#include "cli/CommandLine_p.h"
#include "cli/InputFiles.h"
#include "core/model/X12Document.h"
#include "core/output/FileOutput.h"
#include "core/output/OutputSink.h"
#include "pdf/PDFExporter.h"

#include <QGuiApplication>
#include <QtGlobal>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace CommandLine::detail {
namespace {

constexpr std::string_view exportManyUsage =
    "usage: Kelvane --export-pdf --output-dir <folder> <input>...";

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

/// Why the report of `input` must not be written to `output`, or nothing: an input whose report
/// would take the name of one written earlier in the run (two claims.edi in different folders, or
/// one file given twice) is refused rather than written over it, and so is an input that is a PDF
/// file (a glob that caught the reports).
std::optional<std::string> reportProblem(const std::string &input, const std::string &output,
                                         const LoadedFile &file,
                                         const std::set<std::string> &written)
{
    if (isStandardInput(input))
        return "standard input has no name to name its report after; give a file";
    if (!file.document)
        return file.error;
    if (file.document->text().starts_with("%PDF-"))
        return "\u201C" + input + "\u201D is a PDF file, not X12";
    if (written.contains(output)) {
        return "the report of \u201C" + input + "\u201D would replace \u201C" + output +
               "\u201D, written earlier in this run; export it on its own";
    }
    return refusal(input, output);
}

/// The reports of several inputs, each into the folder under its own name; those that cannot be
/// written are refused (see reportProblem), and the others are written.
int exportReports(std::span<const std::string_view> inputs, const std::string &folder, int outFd,
                  int errFd)
{
    if (const auto problem = folderProblem(folder))
        return fail(errFd, *problem);
    return withOffscreenGui([&] {
        OutputSink out(outFd, 4096);
        std::set<std::string> written;
        int status = 0;
        forEachFile(inputs, TextFile::Decoding::utf8OrLatin1, {},
                    [&](std::size_t index, const LoadedFile &file) {
                        if (inputs.size() > 1)
                            writeFileHeader(out, index, inputs[index]);
                        const std::string input(inputs[index]);
                        const std::string output = reportIn(folder, input);
                        if (const auto problem = reportProblem(input, output, file, written)) {
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

} // namespace

/// --export-pdf INPUT [OUTPUT.pdf]: the operands are the arguments after the option that do not
/// begin with "-". --export-pdf --output-dir FOLDER INPUT...: FOLDER wherever it stands, and the
/// inputs as the other modes take their files.
int exportPDF(const Invocation &invocation)
{
    const std::span<const std::string_view> arguments = invocation.arguments;
    const int outFd = invocation.outFd;
    const int errFd = invocation.errFd;
    const auto folderOption = std::find(arguments.begin(), arguments.end(), "--output-dir");
    const std::size_t folderIndex =
        folderOption == arguments.end() ? 0 : std::size_t(folderOption - arguments.begin()) + 1;
    if (folderIndex != 0) {
        const Operands inputs = operandsAfter(arguments, invocation.option, false);
        if (inputs.unknown)
            return unknownOption(errFd, *inputs.unknown, exportManyUsage);
        if (folderIndex >= arguments.size() || inputs.files.empty())
            return usage(errFd, exportManyUsage);
        return exportReports(inputs.files, std::string(arguments[folderIndex]), outFd, errFd);
    }
    std::vector<std::string_view> operands;
    for (std::size_t i = invocation.option + 1; i < arguments.size(); ++i) {
        if (!arguments[i].starts_with('-'))
            operands.push_back(arguments[i]);
    }

    if (operands.empty())
        return usage(errFd, invocation.usage);
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

} // namespace CommandLine::detail
