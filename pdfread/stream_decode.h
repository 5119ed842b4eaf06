// Stream data for the rewrite of cross-reference streams and object
// streams: finding a stream's data, its filter, inflating Flate data and
// undoing the PNG "Up" predictor of cross-reference streams. Page content and
// other streams are never decoded.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/block.h"
#include "base/job.h"
#include "pdfread/lexer.h"

namespace brisel {

// Filter states of a stream dictionary: no /Filter, /FlateDecode without a
// usable predictor, any other filter; a usable predictor gives its number.
enum : int { kFilterNone = 0, kFilterFlate = 1, kFilterOther = -1 };

// The filter state of the stream whose dictionary body is [dict, dictEnd)
// (dictEnd is its closing ">>"). 0 with state set, or a code in LastError:
// -8, -9, -87 /DecodeParms not a closed dictionary, -32 /Columns unreadable.
int ReadFilterState(Job& job, Cursor dict, Cursor dictEnd, Cursor end, int& state);

// Finds the data of that stream from its direct /Length and the "stream" and
// "endstream" keywords: it ends before the line end in front of "endstream",
// or at /Length when that is further. 0 with the data, its measured length and the
// position after "endstream"; or a code in LastError: -33 no /Length, -31,
// -32 unreadable /Length, -34, -35 no room for "stream", -36 a keyword is
// not where it must be.
int LocateStreamData(Job& job, Cursor dict, Cursor dictEnd, Cursor end, Cursor& data, size_t& length,
                     Cursor& afterEndstream);

// Inflates zlib-format data into out. capacity is in/out: the room in out,
// then the decoded length. 0 on success; -1 zlib cannot start, -4 the data
// is damaged, -5 it ends before its end marker, -10 the output needs all of
// the capacity or more. Bytes after the end marker are ignored.
int DecodeFlate(const uint8_t* in, size_t length, uint8_t* out, size_t& capacity);

// DecodeFlate into a block sized from the input, retried with a larger block
// while the output does not fit. 0 and the decoded length; -37 (first
// block) or -38 (a later one) when memory or the 32-bit size runs out;
// DecodeFlate's code for damaged data.
int InflateStream(const uint8_t* in, size_t length, Block& out, size_t& decoded);

// Undoes the PNG "Up" predictor in place over rows of rowWidth bytes, each
// starting with its filter-type byte (which is not examined). A partial
// last row is left alone.
void UndoUpPredictor(uint8_t* data, size_t length, size_t rowWidth);

}  // namespace brisel
