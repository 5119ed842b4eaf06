#include "pdfread/repair.h"

#include <algorithm>
#include <new>
#include <vector>

#include "pdfread/classic_section.h"
#include "pdfread/lexer.h"

namespace brisel {

namespace {

constexpr char kHeader[] = "%PDF-1.3\n%\xE2\xE3\xCF\xD3\n";

// Where the last copy of an object with this number went.
struct FoundObject {
    int32_t generation = 0;
    int32_t offset = 0;
};


int Rebuild(Job& job, Block& image) {
    // The object scan starts with SkipSpace, which fails on a stale code.
    job.LastError = 0;
    const Cursor start = image.data();
    const Cursor end = start + image.size();
    ImageBuffer out;
    if (!out.Init(image.size() + 32768)) return Fail(job, -1);
    // Garbage in front of the header: a header of our own goes first.
    if ((image.size() == 0 || start[0] != '%') && !out.Write(kHeader, sizeof kHeader - 1)) return Fail(job, -2);

    const int64_t numberLimit = ObjectNumberLimit(image.size());
    std::vector<FoundObject> found;  // indexed by object number
    int32_t highest = 0, rootNumber = 0, rootGeneration = 0;
    Cursor pos = start;
    Cursor header = nullptr;
    if (FindObjectHeader(job, pos, end, header) != 0) return Fail(job, -4);
    for (bool first = true;; first = false) {
        if (!out.Write(pos, static_cast<size_t>(header - pos))) return Fail(job, -2);
        bool catalogSeen = false;
        Cursor objectEnd = nullptr;
        if (FindObjectEnd(job, header, end, objectEnd, catalogSeen) != 0) {
            // An object without "endobj" ends the scan: it and everything
            // after it are left out.
            if (first) return Fail(job, -5);
            break;
        }
        Cursor p = header;
        const int32_t number = ReadInt(job, p, end);
        const int32_t generation = ReadInt(job, p, end);
        // An absurd number leaves its bytes in place but gets no entry.
        if (number >= 0 && generation >= 0 && number <= numberLimit) {
            if (static_cast<size_t>(number) >= found.size()) found.resize(static_cast<size_t>(number) + 1);
            // The last copy of a number wins; earlier copies stay in the image.
            found[static_cast<size_t>(number)] = {generation, static_cast<int32_t>(out.size())};
            highest = std::max(highest, number);
            if (catalogSeen) {
                rootNumber = number;
                rootGeneration = generation;
            }
        }
        if (!out.Write(header, static_cast<size_t>(objectEnd - header))) return Fail(job, -2);
        pos = objectEnd;
        job.LastError = 0;
        if (FindObjectHeader(job, pos, end, header) != 0) break;
    }
    job.LastError = 0;

    auto entryOf = [&](int32_t n, int32_t& offset, int32_t& generation) {
        if (static_cast<size_t>(n) < found.size()) {
            offset = found[static_cast<size_t>(n)].offset;
            generation = found[static_cast<size_t>(n)].generation;
        }
    };
    if (!WriteClassicSection(out, highest + 1, rootNumber, rootGeneration, entryOf)) return Fail(job, -11);
    if (!out.Finish(image)) return Fail(job, -2);
    return 0;
}

}  // namespace

int RebuildClassic(Job& job, Block& image) {
    try {
        return Rebuild(job, image);
    } catch (const std::bad_alloc&) {
        return Fail(job, -10);
    }
}

}  // namespace brisel
