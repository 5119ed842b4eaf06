// The /Length of a stream, for the writers that copy streams unchanged.
#pragma once

#include <cstdint>

#include "base/job.h"
#include "pdfread/xref_table.h"

namespace brisel {

// Why StreamLength gives no length.
enum LengthResult : int32_t {
    kLengthAbsent = -1,
    kLengthUnclosedString = -4,
    kLengthNoNumber = -7,
    kLengthEndBeforeR = -8,
    kLengthNoR = -9,
    kLengthObjectMissing = -10,
    kLengthNotNumber = -11,  // the object holds no number
    kLengthNotListed = -320,
};

// Reads /Length at the top level of the stream dictionary that starts at body
// (the first byte after "obj"), scanning no further than dataStart. An
// indirect length is resolved through the table (the generation listed there
// is used). The length (0 or more), or a LengthResult: kLengthAbsent for a
// dictionary without /Length, the others for one that cannot be read.
// When text is given it receives where the value stands: from its first
// byte to just after the number (direct) or the "R" (indirect).
struct LengthText {
    Cursor from = nullptr, to = nullptr;
    bool indirect = false;
};
Result<int64_t> StreamLength(Cursor body, Cursor dataStart, Cursor imageStart, Cursor imageEnd,
                             const XrefTable& table, LengthText* text = nullptr);

// Finds "endstream" followed by a delimiter, in [from, end); null when
// there is none.
Cursor FindEndstream(Cursor from, Cursor end);

}  // namespace brisel
