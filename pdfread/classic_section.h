// The classic cross-reference section and trailer that close a rewritten
// image, shared by the rewrite of cross-reference streams and the repair.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pdfread/image_buffer.h"
#include "pdfread/xref_section.h"

namespace brisel {

// The most object numbers a rewrite lists: tens of millions, so that files
// whose numbers run far above their size (sparse numbering, objects left
// out of an update) are read, while what a file can make a rewrite
// allocate stays bounded.
constexpr int32_t kMaxListedObjects = 1 << 25;
// How far above four times the entries a file names its numbers may run
// where a rewrite keeps one record per number (64 MB of records).
constexpr int64_t kSparseNumbers = 1 << 22;

// Writes one LF, then "xref" with entry 0 free and one subsection for each
// run of numbers listed below count, then the trailer with /Size (count)
// and /Root (and /Info when infoNumber is above 0), "startxref" and "%%EOF". entryOf(n, offset, generation) gives
// 'n' for an object in use (with its offset and generation), 'f' for a
// number the input lists free, and 0 for a number it does not list. Numbers
// not listed are left out, so that the section costs what the entries cost,
// however high their numbers run; a reference to a number that is listed
// free reads as null, as the input meant, while one to a number left out is
// a reference to an object the input lacks. false when the image cannot
// grow.
template <class EntryOf>
bool WriteClassicSection(ImageBuffer& out, int32_t count, int32_t rootNumber, int32_t rootGeneration,
                         int32_t infoNumber, int32_t infoGeneration, EntryOf entryOf) {
    if (count < 1) count = 1;
    if (!out.Reserve(388) || !out.Write("\n")) return false;
    const long long xrefOffset = static_cast<long long>(out.size());
    if (!out.Print("xref\n0 1\n0000000000 65535 f \n")) return false;
    int64_t offset = 0;
    int32_t generation = 0;
    char line[32];
    for (int32_t first = 1; first < count;) {
        if (!entryOf(first, offset, generation)) {
            ++first;
            continue;
        }
        int32_t last = first + 1;
        while (last < count && entryOf(last, offset, generation)) ++last;
        if (!out.Reserve(static_cast<size_t>(last - first) * 20 + 388) ||
            !out.Print("%d %d\n", first, last - first))
            return false;
        for (int32_t n = first; n < last; ++n) {
            const char type = entryOf(n, offset, generation);
            if (type != 'n') offset = 0;
            if (!out.Write(line, FormatXrefLine(line, offset, generation, type == 'n' ? 'n' : 'f'))) return false;
        }
        first = last;
    }
    if (!out.Print("trailer\n<<\n/Size %d\n/Root %d %d R\n", count, rootNumber, rootGeneration)) return false;
    if (infoNumber > 0 && !out.Print("/Info %d %d R\n", infoNumber, infoGeneration)) return false;
    return out.Print(">>\nstartxref\n%lld\n%%%%EOF\n", xrefOffset);
}

}  // namespace brisel
