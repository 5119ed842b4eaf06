// The classic cross-reference section and trailer that close a rewritten
// image, shared by the rewrite of cross-reference streams and the repair.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pdfread/image_buffer.h"

namespace brisel {

// The most object numbers a rewrite lists. Each costs a record of at most
// 16 bytes and a 20-byte line of the new section, so this bounds what any
// file, however small, can make a rewrite allocate (about 1.2 GB), while
// files whose numbers run far above their size (sparse numbering, objects
// left out of an update) are read.
constexpr int32_t kMaxListedObjects = 1 << 25;

// Writes one LF, then "xref" with one subsection 0..count-1 (entry 0 free,
// every other entry with the offset and generation that entryOf(n) gives,
// negative values written as 0, in use when entryOf returns true and free
// otherwise), then the trailer with /Size and /Root, "startxref" and
// "%%EOF". A number no object has is listed free, so that a reference to
// it reads as null. false when the image cannot grow.
template <class EntryOf>
bool WriteClassicSection(ImageBuffer& out, int32_t count, int32_t rootNumber, int32_t rootGeneration,
                         EntryOf entryOf) {
    if (count < 1) count = 1;
    if (!out.Reserve(static_cast<size_t>(count) * 20 + 388) || !out.Write("\n")) return false;
    const int xrefOffset = static_cast<int>(out.size());
    if (!out.Print("xref\n0 %d\n0000000000 65535 f \n", count)) return false;
    for (int32_t n = 1; n < count; ++n) {
        int32_t offset = 0, generation = 0;
        const bool inUse = entryOf(n, offset, generation);
        if (!out.Print("%010d %05d %c \n", offset < 0 ? 0 : offset, generation < 0 ? 0 : generation,
                       inUse ? 'n' : 'f'))
            return false;
    }
    return out.Print("trailer\n<<\n/Size %d\n/Root %d %d R\n>>\nstartxref\n%d\n%%%%EOF\n", count, rootNumber,
                     rootGeneration, xrefOffset);
}

}  // namespace brisel
