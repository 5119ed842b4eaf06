// Traces of an encryption whose reference a repair could not find: a file
// cut before its trailer keeps its encryption dictionary (or only its
// encrypted streams) but no /Encrypt entry that names it. Copying such a
// file as if it were plain would write ciphertext as page content.
#pragma once

#include <cstdint>

#include "base/job.h"
#include "pdfread/lexer.h"
#include "pdfread/xref_table.h"

namespace brisel {

struct LostEncryption {
    // An object that is a standard encryption dictionary, and its revision.
    bool dictionary = false;
    int32_t number = 0, generation = 0;
    int32_t revision = 0;
    // No dictionary, but the deflated streams sampled fail the zlib header
    // check (all but a chance few), as encrypted bytes do.
    bool cipherStreams = false;
};

// Looks through the objects of the table for either trace.
LostEncryption FindLostEncryption(const Job& job, Cursor start, Cursor end, const XrefTable& table);

}  // namespace brisel
