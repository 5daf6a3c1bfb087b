#pragma once

#include "core/output/ReportLines.h"

#include <cstddef>
#include <expected>
#include <functional>
#include <string>
#include <string_view>

class X12Document;
class X12GuideLoops;

namespace PDFExporter {

enum class ExportError {
    cannotCreateContext, // the destination cannot be written at all
    cannotWriteFile,     // writing failed part way (a full disk, an I/O error)
    cancelled,           // the caller's progress callback asked to stop; nothing was written
};

struct ExportFailure
{
    ExportError error;
    std::string reason; // the system's words ("No space left on device"); empty when unknown
    std::string path;   // the file or folder concerned; empty when unknown

    /// "Could not create the PDF context." or "Could not write the PDF file", then, when known,
    /// where and why: "Could not write the PDF file “/mnt/usb/claims.pdf”: No space left on
    /// device."
    std::string description() const;
};

/// The most bytes of one line's text the report lays out. A longer text (one element of several
/// megabytes) is cut there, at a character boundary, and the cut is marked "… N more characters".
inline constexpr std::size_t longestText = 1u << 20;

struct Written
{
    std::string path; // absolute path of the report, as the file system has it
    int pages = 0;
    std::size_t shortenedTexts = 0; // texts cut at longestText
};

/// Called after each page with how much of the document is written, from 0 to 1; returning
/// false cancels the export.
using Progress = std::function<bool(double done)>;

/// Writes the report of a document as a US Letter PDF: its findings, then its tree with marks where
/// findings concern it. The file appears at `path` (bytes, used as they are) only when it is
/// complete: until then, and if the export fails, is cancelled or the process is interrupted,
/// whatever was there stays as it was. A new report gets `permissions` (those of the file it is
/// made from) within the umask, a replaced one what both allow. `checked` is the document's
/// X12GuideLoops::checked(), when the caller has it already; without it the export checks the
/// document itself. Needs a QGuiApplication for its fonts.
std::expected<Written, ExportFailure> write(const X12Document &document, const std::string &path,
                                            const Progress &progress = {},
                                            unsigned permissions = 0666,
                                            const X12GuideLoops *checked = nullptr);

} // namespace PDFExporter
