#include "cli/CommandLine.h"

#include "cli/CommandLine_p.h"
#include "core/Version.h"
#include "core/output/FileOutput.h"
#include "core/output/OutputSink.h"
#include "core/text/VisibleText.h"

#include <QtGlobal>

#include <unicode/uversion.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace CommandLine::detail {
namespace {

constexpr std::string_view helpText =
    "usage: kelvane [FILE]\n"
    "       kelvane --dump-tree FILE...\n"
    "       kelvane --dump-json FILE...\n"
    "       kelvane --dump-csv [--spreadsheet] FILE\n"
    "       kelvane --check [--envelope-only] FILE...\n"
    "       kelvane --export-pdf INPUT [OUTPUT.pdf]\n"
    "       kelvane --export-pdf --output-dir FOLDER INPUT...\n"
    "       kelvane --ack999 [--date CCYYMMDD] [--time HHMM] [--control-number N] FILE\n"
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
    "  --check FILE...       list broken envelopes and wrong counts, and check each health-care\n"
    "                        transaction set against its implementation guide; status 3 when\n"
    "                        there are findings\n"
    "  --envelope-only       with --check: check the envelopes alone\n"
    "  --export-pdf INPUT [OUTPUT.pdf]\n"
    "                        write the PDF report of INPUT (by default next to it, as .pdf)\n"
    "  --output-dir FOLDER   with --export-pdf: write the report of every INPUT into FOLDER\n"
    "  --ack999 FILE         write the 999 acknowledgment of every functional group in FILE,\n"
    "                        and a TA1 for an interchange whose ISA or IEA is broken\n"
    "  --date CCYYMMDD       with --ack999: the date it is written (default: today, UTC)\n"
    "  --time HHMM           with --ack999: the time it is written (default: now, UTC)\n"
    "  --control-number N    with --ack999: the first interchange and group control number;\n"
    "                        each further one takes the next (default: 1)\n"
    "  -h, --help            show this help\n"
    "  --version             show the versions of Kelvane, Qt and ICU\n";

/// Runs a mode on the files after its option (see operandsAfter); an argument that looks like
/// an option and is none stops it with a usage error, and so does the lack of a file.
template <int (*mode)(std::span<const std::string_view>, const Invocation &)>
int onFiles(const Invocation &invocation)
{
    const Operands operands = operandsAfter(invocation.arguments, invocation.option, true);
    if (operands.unknown)
        return unknownOption(invocation.errFd, *operands.unknown, invocation.usage);
    if (operands.files.empty())
        return usage(invocation.errFd, invocation.usage);
    return mode(operands.files, invocation);
}

/// A mode of the command line: the option that asks for it, its usage line, and what runs it.
struct Mode
{
    std::string_view option;
    std::string_view usage;
    int (*run)(const Invocation &invocation);
    /// Given last, the option asks for nothing, and the window opens.
    bool needsArgument = false;
};

/// The modes in order of precedence: the first one whose option is given runs, wherever it
/// stands. Only --dump-tree falls through to the window without a file; the others, without
/// one, are a mistake in a script, which wants a usage message and a status.
constexpr Mode modes[] = {
    {"--dump-tree", "usage: Kelvane --dump-tree <file>...", onFiles<dumpTree>, true},
    {"--export-pdf", "usage: Kelvane --export-pdf <input> [output.pdf]", exportPDF},
    {"--dump-json", "usage: Kelvane --dump-json <file>...", onFiles<dumpJSON>},
    {"--dump-csv", "usage: Kelvane --dump-csv [--spreadsheet] <file> (one file at a time)",
     onFiles<dumpCSV>},
    {"--check", "usage: Kelvane --check [--envelope-only] <file>...", onFiles<check>},
    {"--ack999",
     "usage: Kelvane --ack999 [--date CCYYMMDD] [--time HHMM] [--control-number N] <file>", ack999},
};

bool isModeOption(std::string_view argument)
{
    return std::ranges::any_of(modes,
                               [argument](const Mode &mode) { return mode.option == argument; });
}

/// The options that take the argument after them as their value, with the mode each belongs to.
/// With another mode they are unknown options, so that no file after one is taken as its value.
std::optional<std::string_view> modeTakingValue(std::string_view argument)
{
    if (argument == "--output-dir")
        return "--export-pdf";
    if (argument == "--date" || argument == "--time" || argument == "--control-number")
        return "--ack999";
    return std::nullopt;
}

bool isKnownOption(std::string_view argument)
{
    return isModeOption(argument) || modeTakingValue(argument) || argument == "--spreadsheet" ||
           argument == "--envelope-only" || argument == "--help" || argument == "-h" ||
           argument == "--version";
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

std::string printable(std::string_view text)
{
    return VisibleText::visible(VisibleText::validUtf8(text));
}

Operands operandsAfter(std::span<const std::string_view> arguments, std::size_t option,
                       bool firstIsFile)
{
    Operands operands;
    bool onlyFiles = false;
    for (std::size_t i = option + 1; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (onlyFiles || argument == "-" ||
            (firstIsFile && i == option + 1 && argument != "--" && argument != "--spreadsheet" &&
             argument != "--envelope-only")) {
            operands.files.push_back(argument);
        } else if (argument == "--") {
            onlyFiles = true;
        } else if (const auto owner = modeTakingValue(argument)) {
            if (*owner != arguments[option]) {
                operands.unknown = argument;
                return operands;
            }
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

int finishOutput(OutputSink &out, int errFd)
{
    if (out.flush() || out.readerGone())
        return 0;
    std::string message = "cannot write to standard output: ";
    message += std::strerror(out.error());
    return fail(errFd, message);
}

int worse(int a, int b)
{
    return a == 1 || b == 1 ? 1 : std::max(a, b);
}

} // namespace CommandLine::detail

namespace CommandLine {

std::optional<int> run(std::span<const std::string_view> arguments, int outFd, int errFd)
{
    if (arguments.empty())
        return std::nullopt;
    for (const detail::Mode &mode : detail::modes) {
        const auto option = std::find(arguments.begin(), arguments.end(), mode.option);
        if (option == arguments.end() || (mode.needsArgument && option + 1 == arguments.end()))
            continue;
        return mode.run(
            {arguments, std::size_t(option - arguments.begin()), mode.usage, outFd, errFd});
    }
    for (std::string_view argument : arguments.subspan(1)) {
        if (argument == "--help" || argument == "-h")
            return detail::printText(outFd, detail::helpText, errFd);
        if (argument == "--version")
            return detail::printText(outFd, detail::versionLine(), errFd);
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
