#pragma once

// The files a mode runs on: each read whole and parsed, several of them read ahead of the one in
// use (FileReadAhead) and used in the order given.

#include "cli/FileReadAhead.h"
#include "core/text/TextFile.h"

#include <cstddef>
#include <expected>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

class OutputSink;
class X12Document;

namespace CommandLine::detail {

/// How a file operand is named in headers and messages: as given, standard input as such.
std::string_view shownPath(std::string_view path);

/// The document's name: the path's last component.
std::string documentName(std::string_view path);

/// Reads and parses a file; on failure reports it and gives the exit status instead.
std::expected<std::shared_ptr<const X12Document>, int> load(std::string_view path,
                                                            TextFile::Decoding decoding, int errFd);

/// Makes a small document's whole output where it was parsed, into `output`; returns whether it
/// did. Empty for modes whose output is made as the file is written.
using RenderAhead = std::function<bool(const X12Document &document, std::string &output)>;

/// Reads and parses the files on every core, ahead of the one in use within a budget of bytes
/// (see FileReadAhead), and hands them to use(index, file) on this thread in the order given.
/// Stops when use returns false.
void forEachFile(std::span<const std::string_view> paths, TextFile::Decoding decoding,
                 const RenderAhead &render,
                 const std::function<bool(std::size_t index, const LoadedFile &file)> &use);

/// "==> claims.edi <==" before each file's output, as head and tail name theirs, with a blank
/// line between files.
void writeFileHeader(OutputSink &out, std::size_t index, std::string_view path);

/// Runs a text mode on every file, each under its header; a file that cannot be read or parsed
/// is reported on standard error under its header, and the next one follows. write(document,
/// out) gives the file's status; a file whose output render made ahead has status 0. The status
/// of the run.
int eachFile(std::span<const std::string_view> paths, TextFile::Decoding decoding, int outFd,
             int errFd, const RenderAhead &render,
             const std::function<int(const X12Document &document, OutputSink &out)> &write);

} // namespace CommandLine::detail
