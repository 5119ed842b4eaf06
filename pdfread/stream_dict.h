// Reading the object header and dictionary of a cross-reference stream or
// an object stream. Every failure returns its code and leaves it in LastError.
#pragma once

#include <cstdint>

#include "base/job.h"
#include "pdfread/lexer.h"

namespace brisel {

// "N G obj" at cur: 0 with the object number and cur just after "obj"; -14
// number missing or below 1, -15 generation, -16 end reached, -17 fewer
// than 16 bytes left, -18 no "obj".
int ReadStreamObjectHeader(Job& job, Cursor& cur, Cursor end, int32_t& number);

// The dictionary that follows cur (just after "obj" or "trailer"): 0 with
// dict just after its "<<" and dictEnd at its closing ">>"; -7 end reached,
// -8 fewer than 5 bytes left, -9 no "<<", -87 not closed.
int OpenDictionary(Job& job, Cursor cur, Cursor end, Cursor& dict, Cursor& dictEnd);

// A /Type in the dictionary must name the given type: 0, or -19 end reached,
// -20 another value, -21 a longer name.
int CheckTypeName(Job& job, Cursor dict, Cursor dictEnd, const char* name);

// The direct integer of a required key: 0 with the value, or -33 absent,
// -31 nothing after the key, -32 not a number.
int ReadRequiredInt(Job& job, const char* key, Cursor dict, Cursor dictEnd, int32_t& value);

}  // namespace brisel
