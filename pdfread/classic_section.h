// The classic cross-reference section and trailer that close a rewritten
// image, shared by the rewrite of cross-reference streams and the repair.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pdfread/image_buffer.h"
#include "pdfread/xref_section.h"

namespace brisel {

// The highest object number a rewrite accepts for an image of this size.
// Each number costs a record and a 20-byte line of the new section, so a
// hostile number must not make a small file allocate gigabytes. An object
// takes more than two bytes even packed into an object stream, so no real
// file numbers its objects beyond half its size.
inline int64_t ObjectNumberLimit(size_t imageSize) { return static_cast<int64_t>(imageSize / 2) + 65536; }

// Writes one LF, then "xref" with one subsection 0..count-1 (entry 0 free,
// every other entry in use with the offset and generation that entryOf(n)
// gives, negative values written as 0), then the trailer with /Size and
// /Root, "startxref" and "%%EOF". false when the image cannot grow.
template <class EntryOf>
bool WriteClassicSection(ImageBuffer& out, int32_t count, int32_t rootNumber, int32_t rootGeneration,
                         EntryOf entryOf) {
    if (count < 1) count = 1;
    if (!out.Reserve(static_cast<size_t>(count) * 20 + 388) || !out.Write("\n")) return false;
    const int xrefOffset = static_cast<int>(out.size());
    auto append = [&](const char* text, size_t length) { return out.Write(text, length); };
    auto entry = [&](int32_t n, int64_t& offset, int64_t& generation, char&) {
        int32_t o = 0, g = 0;
        entryOf(n, o, g);
        offset = o;
        generation = g;
    };
    if (!WriteXrefTable(append, count, entry)) return false;
    return out.Print("trailer\n<<\n/Size %d\n/Root %d %d R\n>>\nstartxref\n%d\n%%%%EOF\n", count, rootNumber,
                     rootGeneration, xrefOffset);
}

}  // namespace brisel
