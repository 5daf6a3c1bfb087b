#include "cli/InputFiles.h"

#include "cli/CommandLine.h"
#include "cli/CommandLine_p.h"
#include "core/output/OutputSink.h"
#include "core/parse/X12Parser.h"

#include <exception>
#include <new>
#include <utility>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace CommandLine::detail {
namespace {

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

/// Documents of fewer bytes than this have their output made on the worker that parsed them, so
/// that many small files are written on every core too (a large one is rendered on every core
/// by itself); a few of them in flight hold a few tens of megabytes at most.
constexpr std::size_t renderedAhead = 1u << 20;

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

} // namespace

std::string_view shownPath(std::string_view path)
{
    return isStandardInput(path) ? TextFile::standardInputName : path;
}

std::string documentName(std::string_view path)
{
    return isStandardInput(path) ? std::string(TextFile::standardInputName)
                                 : TextFile::documentName(path);
}

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

void forEachFile(std::span<const std::string_view> paths, TextFile::Decoding decoding,
                 const RenderAhead &render,
                 const std::function<bool(std::size_t index, const LoadedFile &file)> &use)
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
        if (render && file.document && file.document->text().size() < renderedAhead) {
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

void writeFileHeader(OutputSink &out, std::size_t index, std::string_view path)
{
    if (index > 0)
        out.put('\n');
    out.write("==> ");
    out.write(printable(shownPath(path)));
    out.write(" <==\n");
}

int eachFile(std::span<const std::string_view> paths, TextFile::Decoding decoding, int outFd,
             int errFd, const RenderAhead &render,
             const std::function<int(const X12Document &document, OutputSink &out)> &write)
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

} // namespace CommandLine::detail
