// Finds the indirect references of an object's text, one at a time, stepping
// over strings, comments and stream data (never scanned) and cutting /Parent.
#pragma once

#include <cstdint>

#include "base/job.h"
#include "pdfread/xref_table.h"

namespace brisel {

enum class ScanEvent {
    Reference,    // "N G R" at [at, after)
    ParentValue,  // the reference after a /Parent key at [at, after): not followed
    ObjectEnd,    // "endobj" at at
    StreamData,   // stream data stepped over: the keyword "stream" ends at at, "endstream" ends at after
    Bound,        // the end bound was reached
    Error,        // error holds the code
};

// Codes of an Error event.
enum ScanError : int32_t { kScanUnclosedString = -7, kScanBadStream = -155 };

struct ScanResult {
    ScanEvent event = ScanEvent::Bound;
    int32_t number = 0, generation = 0;
    Cursor at = nullptr, after = nullptr;
    int32_t error = 0;
};

// What a stream's length lookup needs about the object being scanned.
struct ScanContext {
    Cursor body;  // first byte after "obj"
    Cursor imageStart, imageEnd;
    const XrefTable* table;
};

// Advances cur to just after the next event and reports it.
ScanResult NextReference(Cursor& cur, Cursor end, const ScanContext& context);

}  // namespace brisel
