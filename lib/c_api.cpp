// The C API: the C++ API with its exceptions turned into codes and messages.
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "brisel/brisel.h"
#include "brisel/brisel.hpp"

namespace {

char* Copy(const std::string& text) {
    char* copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (copy) std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

int Report(brisel_error* error, int code, const std::string& message, bool password) {
    if (error) {
        error->code = code;
        error->password = password ? 1 : 0;
        error->message = Copy(message);
    }
    return code;
}

brisel::Source SourceOf(const char* path, const void* data, size_t size) {
    brisel::Source source = data ? brisel::Source::Bytes(data, size) : brisel::Source::File(path ? path : "");
    if (data && path) source.path = path;
    return source;
}

brisel::SplitOptions OptionsOf(const brisel_options* o) {
    brisel::SplitOptions options;
    if (!o) return options;
    if (o->password) options.password = o->password;
    if (o->pages) options.pages = o->pages;
    options.every = o->every;
    options.atBookmarks = o->at_bookmarks;
    if (o->parts) options.parts = o->parts;
    options.keepAnnotations = !o->drop_annotations;
    options.keepDocumentData = !o->drop_document_data;
    return options;
}

// Runs body, turning what it throws into the error's code and message.
template <class Body>
int Guarded(brisel_error* error, Body body) {
    if (error) *error = brisel_error{0, 0, nullptr};
    try {
        return body();
    } catch (const brisel::Error& e) {
        return Report(error, e.code(), e.reason(), e.passwordError());
    } catch (const std::bad_alloc&) {
        return Report(error, 1, "out of memory", false);
    } catch (const std::exception& e) {
        return Report(error, 1, e.what(), false);
    }
}

}  // namespace

extern "C" {

int brisel_split(const char* path, const void* data, size_t size, const brisel_options* options,
                 brisel_file_fn fn, void* context, brisel_error* error) {
    return Guarded(error, [&] {
        if (!fn) return Report(error, 2, "no function to take the files", false);
        brisel::Split(SourceOf(path, data, size), OptionsOf(options), [&](brisel::OutputFile& file) {
            return fn(context, reinterpret_cast<const uint8_t*>(file.bytes.data()), file.bytes.size(), file.first,
                      file.last, file.title.c_str()) == 0;
        });
        return 0;
    });
}

int brisel_split_to(const char* path, const void* data, size_t size, const char* folder, const char* pattern,
                    const brisel_options* options, char** json_record, brisel_error* error) {
    if (json_record) *json_record = nullptr;
    return Guarded(error, [&] {
        if (!folder) return Report(error, 2, "no folder to write into", false);
        const brisel::SplitRecord record =
            brisel::SplitTo(SourceOf(path, data, size), folder, pattern ? pattern : "", OptionsOf(options));
        if (json_record) *json_record = Copy(record.Json());
        if (record.status != 0) return Report(error, record.status, record.reason, record.passwordError);
        return 0;
    });
}

int brisel_page_count(const char* path, const void* data, size_t size, const char* password, int32_t* count,
                      brisel_error* error) {
    return Guarded(error, [&] {
        std::optional<std::string> given;
        if (password) given = password;
        const int32_t pages = brisel::PageCount(SourceOf(path, data, size), given);
        if (count) *count = pages;
        return 0;
    });
}

void brisel_error_free(brisel_error* error) {
    if (!error) return;
    std::free(error->message);
    error->message = nullptr;
}

void brisel_free(void* text) { std::free(text); }

const char* brisel_version(void) { return brisel::Version(); }

}
