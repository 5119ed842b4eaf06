// Running a rewrite of the image (object-stream rewrite or repair) in a test
// and reading the result back as the job does.
#pragma once

#include <cstdint>
#include <string>

#include "base/block.h"
#include "pdfread/read_xref.h"
#include "test_support.h"

namespace brisel::test {

struct Rewritten {
    int result = 0;
    Failure failure;  // the rewrite's, with the object and offset it names
    int32_t error = 0;
    int read = 0;  // ReadXref on the new image (only after a successful rewrite)
    Block image;
    XrefTable table;
    ReaderRecord reader;
    int32_t root = -1, rootGeneration = -1;
};

// Reads the file (a hybrid file's classic table is needed by the rewrite),
// runs rewrite(job, image, table, reader) and reads the new image back.
template <class Rewrite>
Rewritten RewriteAndRead(Job& job, const std::string& file, Rewrite rewrite) {
    Rewritten r;
    r.image = BytesOf(file);
    static_cast<void>(ReadXref(job, r.image.begin(), r.image.end(), r.table, r.reader));
    r.failure = rewrite(job, r.image, r.table, r.reader);
    r.result = r.failure.code;
    r.error = r.result < 0 ? r.result : 0;
    if (r.result == 0) {
        r.read = ReadXref(job, r.image.begin(), r.image.end(), r.table, r.reader) ? 0 : 1;
        r.root = r.reader.rootNumber;
        r.rootGeneration = r.reader.rootGeneration;
    }
    return r;
}

// The body of object n as the new table finds it, up to "endobj" and without
// the white space before it.
inline std::string BodyOf(TestJob& t, const Rewritten& r, int n, int generation = 0) {
    static_cast<void>(t);
    Cursor body = FindObject(r.table, r.image.begin(), r.image.end(), n, generation).value_or(nullptr);
    if (!body) return "<missing>";
    std::string rest(reinterpret_cast<const char*>(body), static_cast<size_t>(r.image.end() - body));
    std::string text = rest.substr(0, rest.find("endobj"));
    while (!text.empty() && IsWhite(static_cast<uint8_t>(text.back()))) text.pop_back();
    return text;
}

}  // namespace brisel::test
