#pragma once

#include "core/ReportLines.h"

#include <expected>
#include <functional>
#include <string>
#include <string_view>

class X12Document;

namespace PDFExporter {

enum class ExportError {
    cannotCreateContext, // the destination cannot be written at all
    cannotWriteFile,     // writing failed part way (a full disk, an I/O error)
    cancelled,           // the caller's progress callback asked to stop; nothing was written
};

struct ExportFailure
{
    ExportError error;
    std::string reason; // the system's words for a write failure; empty otherwise

    /// "Could not create the PDF context." or "Could not write the PDF file: <reason>."
    std::string description() const;
};

/// Called after each page with how much of the document is written, from 0 to 1; returning
/// false cancels the export.
using Progress = std::function<bool(double done)>;

/// Writes the report of a document as a US Letter PDF. The file appears at `path` only when it
/// is complete: it is written beside it first, so a failure or a cancel leaves whatever was there
/// untouched. Needs a QGuiApplication for its fonts.
std::expected<void, ExportFailure> write(const X12Document &document, const std::string &path,
                                         const Progress &progress = {});

} // namespace PDFExporter
