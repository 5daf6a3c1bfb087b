#pragma once

// What the command line's files share: its messages, a mode's operands, and the modes that
// CommandLine::run chooses among.

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class OutputSink;

namespace CommandLine::detail {

/// Text for the terminal: valid UTF-8, with control characters as visible symbols, so a name or
/// a value can neither forge a line nor send escape sequences.
std::string printable(std::string_view text);

/// "error: " and the description on errFd. Status 1.
int fail(int errFd, std::string_view description);

/// The usage line on errFd. Status 2.
int usage(int errFd, std::string_view text);

/// An argument that looks like an option and is none: status 2, with how to name a file whose
/// name begins with "-".
int unknownOption(int errFd, std::string_view argument, std::string_view usageText);

/// Ends an output: 0 when everything was written (or the reader left early), else 1 with a message.
int finishOutput(OutputSink &out, int errFd);

/// The status of a run over several files: 1 when any failed, else 3 when any has findings.
int worse(int a, int b);

/// A mode's file operands, or the first argument that looks like an option and is none.
struct Operands
{
    std::vector<std::string_view> files;
    std::optional<std::string_view> unknown;
};

/// The files of the mode whose option stands at `option`: the arguments after it up to the
/// next option of a mode (a later one is never looked at), leaving out the options and the
/// values of --output-dir, --date, --time and --control-number; "-" is standard input, and after
/// "--" every argument is a file. When `firstIsFile`, the argument right after the option is a file
/// whatever it looks like (but "--" and --dump-csv's "--spreadsheet"). Any other argument that
/// begins with "-" is unknown: it may be a file whose name begins with "-", and a file is never
/// dropped silently.
Operands operandsAfter(std::span<const std::string_view> arguments, std::size_t option,
                       bool firstIsFile);

/// What a mode runs with.
struct Invocation
{
    std::span<const std::string_view> arguments; // arguments[0] is the program path
    std::size_t option;                          // where the mode's option stands
    std::string_view usage;                      // the mode's usage line
    int outFd;
    int errFd;
};

// The modes. Each gives the process's exit status. The text modes (TextModes.cpp) run on the
// files after their option, at least one.

/// The envelope and loop tree, one node a line. The file must be UTF-8.
int dumpTree(std::span<const std::string_view> files, const Invocation &invocation);
/// The whole parse as JSON; several files give JSON Lines.
int dumpJSON(std::span<const std::string_view> files, const Invocation &invocation);
/// Every element as a row of CSV, one file at a time.
int dumpCSV(std::span<const std::string_view> files, const Invocation &invocation);
/// The findings and their counts; status 3 when there are any.
int check(std::span<const std::string_view> files, const Invocation &invocation);
/// The PDF report of a file, or of several into a folder (ExportCommand.cpp).
int exportPDF(const Invocation &invocation);
/// The 999 acknowledgment of one file, dated and numbered as the options say (AckCommand.cpp).
int ack999(const Invocation &invocation);

} // namespace CommandLine::detail
