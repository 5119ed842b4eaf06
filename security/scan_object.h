// Finds what the recoder needs in one object body: whether a stream follows,
// its /Length, and whether the object is a cross-reference or metadata
// stream.
#pragma once

#include <cstdint>
#include <functional>

#include "pdfread/lexer.h"
#include "pdfread/stream_decryption.h"

namespace brisel {

enum ObjectKind : int {
    kPlainObject = 0,
    kStreamObject = 1,
    kXrefStreamObject = 2,
    kStreamWithoutLength = -1,
    kObjectRunsToEnd = -2,
    kLengthUnresolved = -3,  // an indirect /Length
};

struct ObjectScan {
    // An ObjectKind; the negative ones are failures.
    int kind = kObjectRunsToEnd;
    // kPlainObject and kXrefStreamObject: the "endobj" keyword; kStreamObject:
    // the first byte of the stream data.
    Cursor stop = nullptr;
    int64_t length = -1;
    bool lengthIndirect = false;
    // The /Length value as written: a number, or "N G R".
    Cursor lengthText = nullptr, lengthTextEnd = nullptr;
    bool metadata = false;  // /Type /Metadata
};

// Scans from the first token of the body (after "obj").
ObjectScan ScanObject(Cursor body, Cursor end, const LengthResolver& resolveLength);

}  // namespace brisel
