// The module `kelvane`: reading and parsing, the errors, and the module itself.

#include "python/Module_p.h"

#include "core/Version.h"
#include "core/parse/X12Parser.h"
#include "core/text/TextFile.h"
#include "core/text/VisibleText.h"

#include <new>
#include <utility>

namespace kelvane::python {
namespace {

struct ParseErrorTag
{
};

/// kelvane.ParseError, a ValueError: the text holds no segments, or nothing at all.
py::object &parseErrorType()
{
    static py::object *type = nullptr; // lives as long as the interpreter, like the module
    if (type == nullptr)
        type = new py::object();
    return *type;
}

Loaded parseText(std::string text, std::string fileName, std::string_view quotedName)
{
    Loaded loaded;
    try {
        auto document = X12Parser::parse(std::move(text), std::move(fileName));
        if (document) {
            loaded.parsed = std::make_shared<const Parsed>(std::move(*document));
        } else {
            loaded.failure = Loaded::Failure::parsing;
            loaded.message = quotedName;
            loaded.message += description(document.error());
        }
    } catch (const std::bad_alloc &) {
        loaded.failure = Loaded::Failure::memory;
        loaded.message = std::string(quotedName) + "not enough memory to open this file";
    }
    return loaded;
}

py::object readFile(const py::handle &path)
{
    const std::string bytes = fileSystemPath(path);
    Loaded loaded;
    {
        py::gil_scoped_release unlocked;
        loaded = load(bytes);
    }
    raiseFor(loaded);
    return documentObject(std::move(loaded.parsed));
}

py::object parseData(const py::handle &data, std::string fileName)
{
    std::string bytes;
    if (PyUnicode_Check(data.ptr())) {
        Py_ssize_t size = 0;
        const char *utf8 = PyUnicode_AsUTF8AndSize(data.ptr(), &size);
        if (utf8 == nullptr)
            throw py::error_already_set();
        bytes.assign(utf8, std::size_t(size));
    } else {
        // bytes, bytearray, memoryview: anything with a buffer of bytes.
        const py::buffer_info buffer = py::reinterpret_borrow<py::buffer>(data).request();
        if (buffer.itemsize != 1 || buffer.ndim > 1)
            throw py::type_error("parse() takes str or bytes");
        bytes.assign(static_cast<const char *>(buffer.ptr), std::size_t(buffer.size));
    }
    Loaded loaded;
    {
        py::gil_scoped_release unlocked;
        auto decoded = TextFile::decode(std::move(bytes), TextFile::Decoding::utf8OrLatin1,
                                        fileName.empty() ? "data" : fileName);
        if (decoded) {
            loaded = parseText(std::move(*decoded), std::move(fileName), {});
        } else {
            loaded.failure = Loaded::Failure::parsing;
            loaded.message = decoded.error().description();
        }
    }
    raiseFor(loaded);
    return documentObject(std::move(loaded.parsed));
}

} // namespace

const X12GuideLoops &Parsed::guides() const
{
    if (!m_walked.load(std::memory_order_acquire)) {
        py::gil_scoped_release unlocked; // a large file takes a while
        const std::lock_guard lock(m_mutex);
        if (!m_walked.load(std::memory_order_relaxed)) {
            m_guides = X12GuideLoops::checked(*m_document);
            m_walked.store(true, std::memory_order_release);
        }
    }
    return m_guides;
}

Loaded load(const std::string &path)
{
    // Messages name the file as the command line's do when it runs on several.
    const std::string quotedName = "\u201C" + VisibleText::validUtf8(path) + "\u201D: ";
    try {
        auto text = TextFile::read(path, TextFile::Decoding::utf8OrLatin1);
        if (!text)
            return {.parsed = {},
                    .failure = Loaded::Failure::reading,
                    .message = std::string(text.error().description())};
        return parseText(std::move(*text), TextFile::documentName(path), quotedName);
    } catch (const std::bad_alloc &) {
        return {.parsed = {},
                .failure = Loaded::Failure::memory,
                .message = quotedName + "not enough memory to open this file"};
    }
}

py::object exceptionFor(const Loaded &loaded)
{
    switch (loaded.failure) {
    case Loaded::Failure::none:
        return py::none();
    case Loaded::Failure::reading:
        return py::reinterpret_borrow<py::object>(PyExc_OSError)(text(loaded.message));
    case Loaded::Failure::parsing:
        return parseErrorType()(text(loaded.message));
    case Loaded::Failure::memory:
        return py::reinterpret_borrow<py::object>(PyExc_MemoryError)(text(loaded.message));
    }
    return py::none();
}

void raiseFor(const Loaded &loaded)
{
    if (loaded.failure == Loaded::Failure::none)
        return;
    const py::object error = exceptionFor(loaded);
    PyErr_SetObject(reinterpret_cast<PyObject *>(Py_TYPE(error.ptr())), error.ptr());
    throw py::error_already_set();
}

py::str text(std::string_view utf8)
{
    PyObject *object = PyUnicode_DecodeUTF8(utf8.data(), Py_ssize_t(utf8.size()), "replace");
    if (object == nullptr)
        throw py::error_already_set();
    return py::reinterpret_steal<py::str>(object);
}

std::string fileSystemPath(const py::handle &path)
{
    const py::bytes bytes = py::module_::import("os").attr("fsencode")(path);
    std::string encoded(bytes);
    // As open() refuses it: the system would read the path only up to the NUL, another file.
    if (encoded.find('\0') != std::string::npos)
        throw py::value_error("embedded null byte");
    return encoded;
}

} // namespace kelvane::python

PYBIND11_MODULE(kelvane, module)
{
    using namespace kelvane::python;
    module.doc() = "ANSI X12 EDI files parsed by Kelvane's core: documents, segments, elements, "
                   "the envelope and loop tree, findings, and the command line's outputs.";
    module.attr("__version__") = kelvane::versionString;
    parseErrorType() = py::exception<ParseErrorTag>(module, "ParseError", PyExc_ValueError);
    parseErrorType().attr("__doc__") =
        "The text is empty or holds no X12 segments; the message is the command line's.";

    bindSegmentObjects(module);
    bindDocument(module);
    bindParallelReads(module);

    module.def("read", &readFile, py::arg("path"),
               "Reads and parses a file as `kelvane --dump-json` does: UTF-8, else ISO Latin 1, "
               "UTF-16 by its byte-order mark. Raises OSError when the file cannot be read and "
               "ParseError when it holds no segments. The GIL is released meanwhile.");
    module.def("parse", &parseData, py::arg("data"), py::kw_only(), py::arg("file_name") = "",
               "Parses str or bytes (decoded as read() decodes a file); file_name is what the "
               "document is called. The GIL is released meanwhile.");
}
