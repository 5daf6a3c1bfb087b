// Document and the views of its parts. A view is a handle: the parse it reads and an index, its
// texts made when asked for, so that a sequence of millions of segments costs nothing until read.

#include "python/Module_p.h"

#include "core/dictionary/X12Dictionary.h"
#include "core/output/X12Csv.h"
#include "core/output/X12FindingsText.h"
#include "core/output/X12Json.h"
#include "core/output/OutputSink.h"
#include "core/output/X12TreeText.h"

#include <cerrno>
#include <functional>
#include <optional>
#include <utility>

namespace kelvane::python {
namespace {

struct Document
{
    ParsedPtr parsed;
};

struct Node
{
    ParsedPtr parsed;
    std::uint32_t index; // node i stands for segment i
};

/// The segments start, start + step... `length` of them: the whole document, or a slice of it.
struct Segments
{
    ParsedPtr parsed;
    Py_ssize_t start;
    Py_ssize_t step;
    Py_ssize_t length;
};

/// The rows of a CSV text, each cut from it when asked for.
struct Rows
{
    std::string csv;
    std::size_t offset = 0;
};

/// The named tuples Delimiters, Loop and Finding, made once; they live as long as the interpreter.
struct Tuples
{
    py::object delimiters;
    py::object loop;
    py::object finding;
};

Tuples &tuples()
{
    static Tuples *made = new Tuples();
    return *made;
}

/// None for an empty text.
py::object textOrNone(std::string_view value)
{
    return value.empty() ? py::object(py::none()) : py::object(text(value));
}

py::object nodeObject(const ParsedPtr &parsed, std::uint32_t index)
{
    return py::cast(Node{parsed, index}, py::return_value_policy::move);
}

/// A Python index into a sequence of `length`, negative ones counting from its end.
Py_ssize_t sequenceIndex(const py::handle &key, Py_ssize_t length)
{
    Py_ssize_t index = PyNumber_AsSsize_t(key.ptr(), PyExc_IndexError);
    if (index == -1 && PyErr_Occurred())
        throw py::error_already_set();
    if (index < 0)
        index += length;
    if (index < 0 || index >= length)
        throw py::index_error("segment index out of range");
    return index;
}

py::object segmentsItem(const Segments &segments, const py::handle &key)
{
    if (PySlice_Check(key.ptr())) {
        Py_ssize_t start = 0;
        Py_ssize_t stop = 0;
        Py_ssize_t step = 0;
        if (PySlice_Unpack(key.ptr(), &start, &stop, &step) < 0)
            throw py::error_already_set();
        const Py_ssize_t length = PySlice_AdjustIndices(segments.length, &start, &stop, step);
        return py::cast(Segments{segments.parsed, segments.start + start * segments.step,
                                 segments.step * step, length},
                        py::return_value_policy::move);
    }
    if (!PyIndex_Check(key.ptr()))
        throw py::type_error("segment indices must be integers or slices");
    const Py_ssize_t index = sequenceIndex(key, segments.length);
    return segmentObject(segments.parsed, std::uint32_t(segments.start + index * segments.step));
}

/// Output made without the GIL into one string, then handed to Python as str.
template <typename Write>
py::str madeText(Write write)
{
    std::string output;
    {
        py::gil_scoped_release unlocked;
        write([&output](std::string_view piece) {
            output += piece;
            return true;
        });
    }
    return text(output);
}

std::string csvText(const X12Document &document, bool spreadsheet)
{
    std::string output;
    py::gil_scoped_release unlocked;
    X12Csv::write(document,
                  [&output](std::string_view piece) {
                      output += piece;
                      return true;
                  },
                  {.byteOrderMark = spreadsheet, .guardFormulas = spreadsheet});
    return output;
}

/// The next record of RFC 4180 text as X12Csv writes it: fields in quotes where they hold a comma,
/// a quote or a line break, quotes doubled, CR LF after each record.
py::tuple nextRow(Rows &rows)
{
    const std::string_view csv = rows.csv;
    std::size_t at = rows.offset;
    if (at >= csv.size())
        throw py::stop_iteration();
    py::list fields;
    std::string field;
    while (true) {
        field.clear();
        if (at < csv.size() && csv[at] == '"') {
            ++at;
            while (true) {
                const std::size_t quote = csv.find('"', at);
                const std::size_t end = quote == std::string_view::npos ? csv.size() : quote;
                field.append(csv.substr(at, end - at));
                at = end + 1;
                if (at < csv.size() && csv[at] == '"') {
                    field.push_back('"');
                    ++at;
                    continue;
                }
                break;
            }
        } else {
            const std::size_t end = std::min(csv.find_first_of(",\r\n", at), csv.size());
            field.assign(csv.substr(at, end - at));
            at = end;
        }
        fields.append(text(field));
        if (at < csv.size() && csv[at] == ',') {
            ++at;
            continue;
        }
        if (at < csv.size() && csv[at] == '\r')
            ++at;
        if (at < csv.size() && csv[at] == '\n')
            ++at;
        break;
    }
    rows.offset = at;
    return py::tuple(fields);
}

/// The file descriptor of a binary file object (flushed first) or of an int.
int descriptorOf(const py::handle &file)
{
    if (PyLong_Check(file.ptr()))
        return file.cast<int>();
    file.attr("flush")();
    return file.attr("fileno")().cast<int>();
}

/// Streams an output to a file without the GIL, a megabyte at a time, as the command line does:
/// no copy of the whole output in memory.
template <typename Write>
void writeTo(const py::handle &file, Write write)
{
    const int fd = descriptorOf(file);
    int error = 0;
    {
        py::gil_scoped_release unlocked;
        OutputSink out(fd);
        write(out);
        out.flush();
        error = out.error();
    }
    if (error != 0) {
        errno = error;
        PyErr_SetFromErrno(PyExc_OSError);
        throw py::error_already_set();
    }
}

py::list findings(const Parsed &parsed)
{
    const X12Document &document = parsed.document();
    const X12GuideLoops &guides = parsed.guides();
    py::list list;
    const X12Dictionary::ReportedFindings reported(document);
    for (std::size_t i = 0; i < reported.size(); ++i) {
        const X12Finding finding = reported[i];
        list.append(tuples().finding(text(toString(finding.severity)), finding.position, py::none(),
                                     py::none(), py::none(), text(finding.message)));
    }
    for (const X12GuideFinding &finding : guides.findings())
        list.append(tuples().finding(text(toString(finding.severity)), finding.position,
                                     textOrNone(finding.element), textOrNone(finding.loop),
                                     textOrNone(finding.rule), text(finding.message)));
    return list;
}

py::str documentRepr(const Document &document)
{
    const X12Document &parsed = document.parsed->document();
    std::string repr = "<kelvane.Document ";
    repr += py::repr(text(parsed.fileName()));
    repr += ": ";
    repr += parsed.summaryLine();
    repr += '>';
    return text(repr);
}

} // namespace

py::object delimitersObject(const X12Delimiters &delimiters)
{
    return tuples().delimiters(text(delimiters.element), text(delimiters.component),
                               text(delimiters.repetition), text(delimiters.segment));
}

py::object loopObject(const std::optional<X12GuideLoop> &loop)
{
    if (!loop)
        return py::none();
    return tuples().loop(text(loop->id), text(loop->name));
}

py::object documentObject(ParsedPtr parsed)
{
    return py::cast(Document{std::move(parsed)}, py::return_value_policy::move);
}

void bindDocument(py::module_ &module)
{
    const py::object namedtuple = py::module_::import("collections").attr("namedtuple");
    Tuples &made = tuples();
    made.delimiters = namedtuple("Delimiters", "element component repetition segment",
                                 py::arg("module") = "kelvane");
    made.loop = namedtuple("Loop", "id name", py::arg("module") = "kelvane");
    made.finding = namedtuple("Finding", "severity position element loop rule message",
                              py::arg("module") = "kelvane");
    module.attr("Delimiters") = made.delimiters;
    module.attr("Loop") = made.loop;
    module.attr("Finding") = made.finding;

    py::class_<Document>(module, "Document",
                         "A parsed file. Immutable: threads may share it, and every object taken "
                         "from it keeps it alive.")
        .def_property_readonly(
            "file_name", [](const Document &d) { return text(d.parsed->document().fileName()); })
        .def_property_readonly(
            "summary_line",
            [](const Document &d) { return text(d.parsed->document().summaryLine()); })
        .def_property_readonly(
            "delimiters",
            [](const Document &d) { return delimitersObject(d.parsed->document().delimiters()); })
        .def_property_readonly("transaction_sets",
                               [](const Document &d) {
                                   py::list sets;
                                   for (const std::string &set :
                                        d.parsed->document().transactionSets())
                                       sets.append(text(set));
                                   return sets;
                               })
        .def_property_readonly(
            "segments",
            [](const Document &d) {
                return Segments{d.parsed, 0, 1, Py_ssize_t(d.parsed->document().segments().size())};
            })
        .def_property_readonly("tree",
                               [](const Document &d) {
                                   py::list roots;
                                   for (const std::uint32_t index :
                                        d.parsed->document().rootNodes())
                                       roots.append(nodeObject(d.parsed, index));
                                   return roots;
                               })
        .def_property_readonly("findings", [](const Document &d) { return findings(*d.parsed); })
        .def(
            "to_json",
            [](const Document &d, bool oneLine) {
                return madeText([&](auto sink) {
                    X12Json::write(d.parsed->document(), sink,
                                   oneLine ? X12Json::Layout::oneLine : X12Json::Layout::lines);
                });
            },
            py::kw_only(), py::arg("one_line") = false)
        .def(
            "to_csv",
            [](const Document &d, bool spreadsheet) {
                return text(csvText(d.parsed->document(), spreadsheet));
            },
            py::kw_only(), py::arg("spreadsheet") = false)
        .def(
            "write_csv",
            [](const Document &d, const py::handle &file, bool spreadsheet) {
                writeTo(file, [&](OutputSink &out) {
                    X12Csv::write(d.parsed->document(), std::ref(out),
                                  {.byteOrderMark = spreadsheet, .guardFormulas = spreadsheet});
                });
            },
            py::arg("file"), py::kw_only(), py::arg("spreadsheet") = false)
        .def(
            "write_json",
            [](const Document &d, const py::handle &file, bool oneLine) {
                writeTo(file, [&](OutputSink &out) {
                    X12Json::write(d.parsed->document(), std::ref(out),
                                   oneLine ? X12Json::Layout::oneLine : X12Json::Layout::lines);
                });
            },
            py::arg("file"), py::kw_only(), py::arg("one_line") = false)
        .def("tree_text",
             [](const Document &d) {
                 return madeText(
                     [&](auto sink) { X12TreeText::write(d.parsed->document(), sink); });
             })
        .def(
            "check_text",
            [](const Document &d, bool envelopeOnly) {
                const X12GuideLoops unchecked;
                const X12GuideLoops &guides = envelopeOnly ? unchecked : d.parsed->guides();
                return madeText(
                    [&](auto sink) { X12FindingsText::write(d.parsed->document(), guides, sink); });
            },
            py::kw_only(), py::arg("envelope_only") = false)
        .def("rows", [](const Document &d) { return Rows{csvText(d.parsed->document(), false)}; })
        .def("__repr__", &documentRepr);

    py::class_<Segments>(module, "Segments",
                         "The segments of a document, or a slice of them: a sequence whose "
                         "Segment objects are made as they are read.")
        .def("__len__", [](const Segments &s) { return s.length; })
        .def("__getitem__", &segmentsItem)
        .def("__iter__", [](const Segments &s) {
            return segmentIterator(s.parsed, s.start, s.step, s.length);
        });

    py::class_<Node>(module, "Node",
                     "A node of the envelope and loop tree: an interchange, group, transaction "
                     "set, loop or segment, standing for the segment that begins it.")
        .def_property_readonly(
            "kind",
            [](const Node &n) { return text(toString(n.parsed->document().kind(n.index))); })
        .def_property_readonly("title",
                               [](const Node &n) {
                                   return text(
                                       X12Dictionary::nodeTitle(n.parsed->document(), n.index));
                               })
        .def_property_readonly("subtitle",
                               [](const Node &n) {
                                   return text(
                                       X12Dictionary::nodeSubtitle(n.parsed->document(), n.index));
                               })
        .def_property_readonly("depth",
                               [](const Node &n) { return n.parsed->document().depth(n.index); })
        .def_property_readonly("segment",
                               [](const Node &n) { return segmentObject(n.parsed, n.index); })
        .def_property_readonly(
            "loop",
            [](const Node &n) { return loopObject(n.parsed->guides().loopBegunBy(n.index)); })
        .def_property_readonly("children",
                               [](const Node &n) {
                                   py::list children;
                                   for (const std::uint32_t index :
                                        n.parsed->document().children(n.index))
                                       children.append(nodeObject(n.parsed, index));
                                   return children;
                               })
        .def("__repr__", [](const Node &n) {
            std::string repr = "<kelvane.Node ";
            repr += py::repr(text(X12Dictionary::nodeTitle(n.parsed->document(), n.index)));
            repr += '>';
            return text(repr);
        });

    py::class_<Rows>(module, "Rows", "The rows of to_csv(), header first, as tuples of str.")
        .def("__iter__", [](py::object self) { return self; })
        .def("__next__", &nextRow);
}

} // namespace kelvane::python
