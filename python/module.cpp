// The Python module "brisel": the library's split, split_to and page_count,
// with the interpreter lock released while the engine works.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "brisel/brisel.hpp"

namespace py = pybind11;

namespace {

// The input: bytes-like objects are read in place (their buffer stays
// alive and unchanged while the call holds it), str and os.PathLike name a
// file.
struct PySource {
    brisel::Source source;
    std::optional<py::buffer_info> buffer;
    py::object keep;
};

void ReadSource(const py::object& object, PySource& out) {
    if (py::isinstance<py::str>(object) || py::hasattr(object, "__fspath__")) {
        py::object path = py::module_::import("os").attr("fsdecode")(object);
        out.source = brisel::Source::File(path.cast<std::string>());
        return;
    }
    if (PyObject_CheckBuffer(object.ptr())) {
        out.keep = object;
        out.buffer = py::buffer(object).request();
        const py::buffer_info& info = *out.buffer;
        if (!PyBuffer_IsContiguous(reinterpret_cast<Py_buffer*>(info.view()), 'C'))
            throw py::type_error("source: the buffer must be contiguous");
        out.source = brisel::Source::Bytes(info.ptr, static_cast<size_t>(info.size * info.itemsize));
        return;
    }
    throw py::type_error("source must be bytes, bytearray, memoryview, str or an os.PathLike");
}

bool Keep(const std::string& value, const char* what) {
    if (value == "keep") return true;
    if (value == "drop") return false;
    throw py::value_error(std::string(what) + " must be \"keep\" or \"drop\"");
}

brisel::SplitOptions MakeOptions(const std::optional<std::string>& password, const std::optional<std::string>& pages,
                                 const std::optional<int>& every, const std::optional<int>& atBookmarks,
                                 const std::optional<std::string>& parts, const std::string& annotations,
                                 const std::string& documentData) {
    brisel::SplitOptions options;
    options.password = password;
    if (pages) options.pages = *pages;
    if (every) {
        if (*every < 1) throw py::value_error("every must be at least 1");
        options.every = *every;
    }
    if (atBookmarks) {
        if (*atBookmarks < 1) throw py::value_error("at_bookmarks must be at least 1");
        options.atBookmarks = *atBookmarks;
    }
    if (parts) options.parts = *parts;
    options.keepAnnotations = Keep(annotations, "annotations");
    options.keepDocumentData = Keep(documentData, "document_data");
    return options;
}

// The exception types live as long as the interpreter: held without a count
// that would be dropped after it ends.
PyObject* g_error = nullptr;
PyObject* g_passwordError = nullptr;

[[noreturn]] void Raise(const brisel::Error& e, const py::object& record = py::none()) {
    py::handle type = e.passwordError() ? g_passwordError : g_error;
    py::object error = type(e.reason());
    error.attr("code") = e.code();
    error.attr("reason") = e.reason();
    error.attr("path") = e.path();
    error.attr("record") = record;
    PyErr_SetObject(type.ptr(), error.ptr());
    throw py::error_already_set();
}

py::dict RecordDict(const brisel::SplitRecord& record) {
    py::dict d;
    d["file"] = record.file;
    d["status"] = record.status;
    d["pages"] = record.pages > 0 ? py::object(py::int_(record.pages)) : py::object(py::none());
    py::list written;
    for (const std::string& path : record.written) written.append(py::str(path));
    d["written"] = written;
    d["error"] = record.error.empty() ? py::object(py::none()) : py::object(py::str(record.error));
    d["reason"] = record.reason.empty() ? py::object(py::none()) : py::object(py::str(record.reason));
    // The damage the split survived, as --json gives it.
    auto number = [](int64_t value) { return value >= 0 ? py::object(py::int_(value)) : py::object(py::none()); };
    py::list warnings;
    for (const brisel::SplitWarning& w : record.warnings) {
        py::dict item;
        item["kind"] = w.kind;
        item["object"] = number(w.object);
        item["offset"] = number(w.offset);
        item["pages"] = w.firstPage > 0 ? py::object(py::cast(std::vector<int32_t>{w.firstPage, std::max(w.firstPage, w.lastPage)}))
                                        : py::object(py::none());
        warnings.append(item);
    }
    d["warnings"] = warnings;
    return d;
}

py::list Split(const py::object& source, const std::optional<std::string>& password,
               const std::optional<std::string>& pages, const std::optional<int>& every,
               const std::optional<int>& atBookmarks, const std::optional<std::string>& parts,
               const std::string& annotations, const std::string& documentData) {
    PySource input;
    ReadSource(source, input);
    const brisel::SplitOptions options = MakeOptions(password, pages, every, atBookmarks, parts, annotations, documentData);
    std::vector<brisel::OutputFile> files;
    std::optional<brisel::Error> failure;
    {
        py::gil_scoped_release release;
        try {
            brisel::Split(input.source, options, [&files](brisel::OutputFile& file) {
                files.push_back(std::move(file));
                file = brisel::OutputFile();
                return true;
            });
        } catch (const brisel::Error& e) {
            failure = e;
        }
    }
    if (failure) Raise(*failure);
    py::list out;
    for (brisel::OutputFile& file : files) {
        out.append(py::bytes(file.bytes));
        std::string().swap(file.bytes);
    }
    return out;
}

py::dict SplitTo(const py::object& source, const py::object& outDir, const std::optional<std::string>& name,
                 const std::optional<std::string>& password, const std::optional<std::string>& pages,
                 const std::optional<int>& every, const std::optional<int>& atBookmarks,
                 const std::optional<std::string>& parts, const std::string& annotations,
                 const std::string& documentData) {
    PySource input;
    ReadSource(source, input);
    const std::string folder = py::module_::import("os").attr("fsdecode")(outDir).cast<std::string>();
    const brisel::SplitOptions options = MakeOptions(password, pages, every, atBookmarks, parts, annotations, documentData);
    brisel::SplitRecord record;
    std::optional<brisel::Error> failure;
    {
        py::gil_scoped_release release;
        try {
            record = brisel::SplitTo(input.source, folder, name.value_or(""), options);
        } catch (const brisel::Error& e) {
            failure = e;
        }
    }
    if (failure) Raise(*failure);
    py::dict d = RecordDict(record);
    if (record.status != 0) {
        Raise(brisel::Error(record.status, record.reason, record.file, record.passwordError), d);
    }
    return d;
}

int32_t PageCount(const py::object& source, const std::optional<std::string>& password) {
    PySource input;
    ReadSource(source, input);
    std::optional<brisel::Error> failure;
    int32_t count = 0;
    {
        py::gil_scoped_release release;
        try {
            count = brisel::PageCount(input.source, password);
        } catch (const brisel::Error& e) {
            failure = e;
        }
    }
    if (failure) Raise(*failure);
    return count;
}

}  // namespace

PYBIND11_MODULE(brisel, m) {
    m.doc() = "Splits PDF files into page files or parts, in memory or to disk.";
    g_error = PyErr_NewExceptionWithDoc(
        "brisel.Error", "A split failed: .code is the command line's exit status, .reason why, .path the input.",
        PyExc_Exception, nullptr);
    g_passwordError = PyErr_NewExceptionWithDoc(
        "brisel.PasswordError", "The input is encrypted and the password is wrong or missing.", g_error, nullptr);
    if (!g_error || !g_passwordError) throw py::error_already_set();
    m.attr("Error") = py::handle(g_error);
    m.attr("PasswordError") = py::handle(g_passwordError);
    m.attr("__version__") = brisel::Version();
    using namespace py::literals;
    m.def("split", &Split, "source"_a, py::kw_only(), "password"_a = py::none(), "pages"_a = py::none(),
          "every"_a = py::none(), "at_bookmarks"_a = py::none(), "parts"_a = py::none(), "annotations"_a = "keep",
          "document_data"_a = "keep",
          "Splits source into one PDF file per page (or per part) and returns their bytes in order.");
    m.def("split_to", &SplitTo, "source"_a, "out_dir"_a, py::kw_only(), "name"_a = py::none(),
          "password"_a = py::none(), "pages"_a = py::none(), "every"_a = py::none(), "at_bookmarks"_a = py::none(),
          "parts"_a = py::none(), "annotations"_a = "keep", "document_data"_a = "keep",
          "Writes the files into out_dir as the command line does and returns its --json record.");
    m.def("page_count", &PageCount, "source"_a, py::kw_only(), "password"_a = py::none(),
          "The number of pages of source.");
}
