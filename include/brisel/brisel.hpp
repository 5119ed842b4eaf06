// Brisel as a library: splits PDF documents into page files (or parts of
// several pages), from a file or from bytes in memory, to memory or to disk.
//
// Every call is independent: the library keeps no state between calls and
// none shared between threads, so documents can be split on several threads
// at once. Failures throw brisel::Error.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "brisel/export.h"

namespace brisel {

// The input: a file, or bytes the caller holds (they are copied; the caller
// may free them when the call returns).
struct Source {
    std::string path;
    const uint8_t* data = nullptr;
    size_t size = 0;

    static Source File(std::string filePath) {
        Source s;
        s.path = std::move(filePath);
        return s;
    }
    static Source Bytes(const void* bytes, size_t length) {
        Source s;
        s.data = static_cast<const uint8_t*>(bytes);
        s.size = length;
        return s;
    }
};

// What to write. The texts are those of the command line.
struct SplitOptions {
    std::optional<std::string> password;  // the user or owner password of an encrypted input
    std::string pages;                    // only these pages: "3-7", "1-3,7,9-", "r3-z", "1-z:odd"; empty for all
    int every = 0;                        // parts of this many pages
    int atBookmarks = 0;                  // parts at the bookmarks of this level (1: the top)
    std::string parts;                    // one part per range: "1-3,7,9-"
    bool keepAnnotations = true;          // false drops every annotation
    bool keepDocumentData = true;         // false drops structure, metadata, labels, ...
    // Set to non-zero from another thread to stop the split; the call then
    // throws an Error with code 130.
    std::atomic<int>* stop = nullptr;
};

// One output file and where its pages come from.
struct OutputFile {
    std::vector<int32_t> pages;  // 1-based pages of the input, in file order
    int32_t first = 0, last = 0;  // its first and last page
    std::string title;            // the title of the bookmark that starts it (UTF-8), or empty
    std::string bytes;            // the PDF file
};

// What the command line's --json prints for one input.
// Damage a split survived: its kind ("missing-object", ...), the object and
// byte offset (-1 when not known) and the pages of the file that met it (0
// when it belongs to the whole document).
struct SplitWarning {
    std::string kind;
    int32_t object = -1;
    int64_t offset = -1;
    int32_t firstPage = 0, lastPage = 0;
};

struct SplitRecord {
    std::string file;
    int status = 0;
    int32_t pages = 0;  // 0: unknown
    std::vector<std::string> written;
    std::string error;   // the stable English name of the failure ("page-range", "damaged", ...); empty when split
    std::string reason;  // empty when split
    bool passwordError = false;  // the password was wrong or missing
    std::vector<SplitWarning> warnings;
    // The record as one line of JSON, as the command line prints it.
    BRISEL_API std::string Json() const;
};

// A failure: code is the command line's exit status for it (1 failed, 3 one
// page only, 4 a file could not be written, 5 a page range outside the
// document, 6 pages incomplete, 10 refused (password), 130 stopped).
class BRISEL_API Error : public std::runtime_error {
public:
    Error(int code, std::string reason, std::string path, bool passwordError)
        : std::runtime_error(reason), code_(code), reason_(std::move(reason)), path_(std::move(path)),
          password_(passwordError) {}
    int code() const { return code_; }
    const std::string& reason() const { return reason_; }
    const std::string& path() const { return path_; }
    // A wrong or missing password.
    bool passwordError() const { return password_; }

private:
    int code_;
    std::string reason_, path_;
    bool password_;
};

// Splits the input to memory: one OutputFile per output file, in order. A
// document of one page gives its one page file. Where pages are incomplete
// (a damaged input) the files are still returned through onFile before
// Error 6 is thrown.
BRISEL_API std::vector<OutputFile> Split(const Source& source, const SplitOptions& options = {});

// The same, handing each file to onFile as soon as it is built (its bytes
// may be moved away). onFile returns false to stop.
BRISEL_API void Split(const Source& source, const SplitOptions& options, const std::function<bool(OutputFile&)>& onFile);

// Writes the files into folder (made when missing) as the command line's
// --out does, named from pattern (--name) when it is not empty. Returns the
// --json record; it throws only for what the command line refuses before
// splitting (a bad option). A record with a status other than 0 tells a
// failure.
BRISEL_API SplitRecord SplitTo(const Source& source, const std::string& folder, const std::string& pattern = "",
                    const SplitOptions& options = {});

// The number of pages.
BRISEL_API int32_t PageCount(const Source& source, const std::optional<std::string>& password = std::nullopt);

// The library's version, e.g. "2.22".
BRISEL_API const char* Version();

}  // namespace brisel
