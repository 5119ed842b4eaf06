// The /Length of a stream, for the writers that copy streams unchanged.
#pragma once

#include <cstdint>

#include "base/job.h"
#include "pdfread/xref_table.h"

namespace brisel {

// Reads /Length at the top level of the stream dictionary that starts at body
// (the first byte after "obj"), scanning no further than dataStart. An
// indirect length is resolved through the table (the generation listed there
// is used). The length (0 or more); -1 when the dictionary has none; another
// negative code on failure.
// When text is given it receives where the value stands: from its first
// byte to just after the number (direct) or the "R" (indirect).
struct LengthText {
    Cursor from = nullptr, to = nullptr;
    bool indirect = false;
};
int64_t StreamLength(Job& job, Cursor body, Cursor dataStart, Cursor imageStart, Cursor imageEnd,
                     const XrefTable& table, LengthText* text = nullptr);

}  // namespace brisel
