// Reading the object header and dictionary of a cross-reference stream or
// an object stream. Every failure returns its code as a Failure.
#pragma once

#include <cstdint>

#include "base/failure.h"
#include "pdfread/lexer.h"

namespace brisel {

// Codes of the readers below.
enum StreamDictCode : int32_t {
    kStreamDictEnd = -7,
    kStreamDictNoRoom = -5011,  // fewer than 5 bytes left
    kStreamNotDict = -5012,
    kStreamNoNumber = -5013,   // missing or below 1
    kStreamNoGeneration = -5014,
    kStreamHeaderEnd = -5015,
    kStreamHeaderNoRoom = -5016,  // fewer than 16 bytes left
    kStreamNoObj = -5017,
    kStreamTypeEnd = -5018,
    kStreamWrongType = -20,
    kStreamTypeGlued = -21,
    kStreamKeyNoValue = -31,
    kStreamKeyNotNumber = -32,
    kStreamKeyMissing = -33,
    kStreamDictNotClosed = -5019,
};

// "N G obj" at cur: the object number, with cur just after "obj".
Result<int32_t> ReadStreamObjectHeader(Cursor& cur, Cursor end);

// The dictionary that follows cur (just after "obj" or "trailer"): dict
// just after its "<<" and dictEnd at its closing ">>".
Failure OpenDictionary(Cursor cur, Cursor end, Cursor& dict, Cursor& dictEnd);

// A /Type in the dictionary must name the given type.
Failure CheckTypeName(Cursor dict, Cursor dictEnd, const char* name);

// The direct integer of a required key.
Result<int32_t> ReadRequiredInt(const char* key, Cursor dict, Cursor dictEnd);

}  // namespace brisel
