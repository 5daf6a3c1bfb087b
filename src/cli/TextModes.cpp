// The modes that print a document as text: the tree, JSON, CSV and the findings.

#include "cli/CommandLine_p.h"
#include "cli/InputFiles.h"
#include "core/guides/X12GuideLoops.h"
#include "core/model/X12Document.h"
#include "core/output/OutputSink.h"
#include "core/output/X12Csv.h"
#include "core/output/X12FindingsText.h"
#include "core/output/X12Json.h"
#include "core/output/X12TreeText.h"

#include <algorithm>
#include <functional>

namespace CommandLine::detail {
namespace {

/// A sink that appends to `output`, for a document's output made where it was parsed.
auto appendingTo(std::string &output)
{
    return [&output](std::string_view piece) {
        output += piece;
        return true;
    };
}

/// The findings, one line each, then their counts. Status 3 when there are findings. Unless
/// `envelopeOnly`, the sets are checked against their implementation guides too.
int writeFindings(const X12Document &document, OutputSink &out, bool envelopeOnly)
{
    const X12GuideLoops loops = envelopeOnly ? X12GuideLoops() : X12GuideLoops::checked(document);
    return X12FindingsText::write(document, loops, std::ref(out)) == 0 ? 0 : 3;
}

} // namespace

int dumpTree(std::span<const std::string_view> files, const Invocation &invocation)
{
    if (files.size() > 1) {
        return eachFile(
            files, TextFile::Decoding::strictUtf8, invocation.outFd, invocation.errFd,
            [](const X12Document &document, std::string &output) {
                X12TreeText::append(document, output);
                return true;
            },
            [](const X12Document &document, OutputSink &out) {
                X12TreeText::write(document, std::ref(out));
                return 0;
            });
    }
    const auto document = load(files.front(), TextFile::Decoding::strictUtf8, invocation.errFd);
    if (!document)
        return document.error();
    OutputSink out(invocation.outFd);
    X12TreeText::write(**document, std::ref(out));
    return finishOutput(out, invocation.errFd);
}

/// The file is read as UTF-8, else ISO Latin 1, like the window. Several files give JSON Lines: a
/// document a line, in the order given; a file that cannot be read or parsed gives
/// {"fileName":...,"error":...} in its place, and the error on standard error too.
int dumpJSON(std::span<const std::string_view> files, const Invocation &invocation)
{
    OutputSink out(invocation.outFd);
    if (files.size() == 1) {
        const auto document =
            load(files.front(), TextFile::Decoding::utf8OrLatin1, invocation.errFd);
        if (!document)
            return document.error();
        X12Json::write(**document, std::ref(out));
        return finishOutput(out, invocation.errFd);
    }
    int status = 0;
    auto renderLine = [](const X12Document &document, std::string &output) {
        return X12Json::write(document, appendingTo(output), X12Json::Layout::oneLine);
    };
    forEachFile(files, TextFile::Decoding::utf8OrLatin1, renderLine,
                [&](std::size_t index, const LoadedFile &file) {
                    if (file.rendered) {
                        out.write(file.output);
                    } else if (file.document) {
                        X12Json::write(*file.document, std::ref(out), X12Json::Layout::oneLine);
                    } else {
                        out.flush();
                        status = fail(invocation.errFd, file.error);
                        out.write(X12Json::errorLine(documentName(files[index]), file.error));
                    }
                    return out.flush(); // a line leaves as soon as it is made
                });
    return worse(status, finishOutput(out, invocation.errFd));
}

/// For scripts, the values exactly as the file has them; or, with --spreadsheet, as the window
/// exports them (a byte-order mark, formulas guarded). The file is read as UTF-8, else ISO
/// Latin 1.
int dumpCSV(std::span<const std::string_view> files, const Invocation &invocation)
{
    // Several tables in one stream would not be one CSV file.
    if (files.size() != 1)
        return usage(invocation.errFd, invocation.usage);
    const auto document = load(files.front(), TextFile::Decoding::utf8OrLatin1, invocation.errFd);
    if (!document)
        return document.error();
    const bool spreadsheet =
        std::ranges::find(invocation.arguments, "--spreadsheet") != invocation.arguments.end();
    OutputSink out(invocation.outFd);
    X12Csv::write(**document, std::ref(out),
                  {.byteOrderMark = spreadsheet, .guardFormulas = spreadsheet});
    return finishOutput(out, invocation.errFd);
}

int check(std::span<const std::string_view> files, const Invocation &invocation)
{
    // The option counts before "--" only: after it, every argument is a file.
    const auto options = invocation.arguments.subspan(invocation.option + 1);
    const auto end = std::ranges::find(options, "--");
    const bool envelopeOnly = std::find(options.begin(), end, "--envelope-only") != end;
    if (files.size() > 1) {
        return eachFile(files, TextFile::Decoding::utf8OrLatin1, invocation.outFd, invocation.errFd,
                        {}, [envelopeOnly](const X12Document &document, OutputSink &out) {
                            return writeFindings(document, out, envelopeOnly);
                        });
    }
    const auto document = load(files.front(), TextFile::Decoding::utf8OrLatin1, invocation.errFd);
    if (!document)
        return document.error();
    OutputSink out(invocation.outFd);
    const int findings = writeFindings(**document, out, envelopeOnly);
    const int status = finishOutput(out, invocation.errFd);
    return status != 0 ? status : findings;
}

} // namespace CommandLine::detail
