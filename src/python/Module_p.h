#pragma once

// What the files of the Python module share: the parsed document every view object holds, the
// loading of a file as the command line does it, and the conversions to Python texts.

#include "core/guides/X12GuideLoops.h"
#include "core/model/X12Document.h"

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace kelvane::python {

namespace py = pybind11;

/// A document and the guide walk over it, which places its segments in loops and finds what they
/// break of their guides, made on first use. Every object the module hands out for a document
/// (its segments, elements, nodes, iterators) holds one of these, so the document lives as long as
/// the last of them; nothing in it changes after that first use, so threads share it freely.
class Parsed
{
public:
    explicit Parsed(std::shared_ptr<const X12Document> document) : m_document(std::move(document))
    {
    }

    const X12Document &document() const noexcept { return *m_document; }

    /// The checked guide walk; the first call makes it without the GIL.
    const X12GuideLoops &guides() const;

private:
    std::shared_ptr<const X12Document> m_document;
    mutable std::mutex m_mutex;
    mutable std::atomic<bool> m_walked = false;
    mutable X12GuideLoops m_guides;
};

using ParsedPtr = std::shared_ptr<const Parsed>;

/// How reading and parsing a file ended: a document, or the error the command line reports.
struct Loaded
{
    enum class Failure : std::uint8_t { none, reading, parsing, memory };

    ParsedPtr parsed;
    Failure failure = Failure::none;
    std::string message;
};

/// Reads a file as --dump-json, --dump-csv and --check do (UTF-8, else ISO Latin 1; UTF-16 by its
/// byte-order mark) and parses it. Runs without the GIL; never throws.
Loaded load(const std::string &path);

/// The Python exception for a failure: ParseError, OSError or MemoryError with its message.
py::object exceptionFor(const Loaded &loaded);

/// Raises the exception for a failure; does nothing for a document.
void raiseFor(const Loaded &loaded);

/// A Python str of UTF-8 text; a stray byte, which a decoded document never holds, becomes
/// U+FFFD rather than an exception.
py::str text(std::string_view utf8);

/// A path argument (str, bytes or os.PathLike) as the bytes the system takes.
std::string fileSystemPath(const py::handle &path);

/// The Document object of a parse.
py::object documentObject(ParsedPtr parsed);

/// A Segment object, and an iterator over `length` segments from `start` on, `step` apart.
py::object segmentObject(const ParsedPtr &parsed, std::uint32_t index);
py::object segmentIterator(const ParsedPtr &parsed, Py_ssize_t start, Py_ssize_t step,
                           Py_ssize_t length);

/// The named tuples Delimiters and Loop; None for no loop.
py::object delimitersObject(const X12Delimiters &delimiters);
py::object loopObject(const std::optional<X12GuideLoop> &loop);

/// Segment, Element and SegmentIterator.
void bindSegmentObjects(py::module_ &module);

/// The classes of a document and its parts.
void bindDocument(py::module_ &module);

/// read_many.
void bindParallelReads(py::module_ &module);

} // namespace kelvane::python
