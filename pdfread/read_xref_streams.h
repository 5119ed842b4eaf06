// Reading the cross-reference streams of a file (following their /Prev
// chain, and the classic part of a hybrid file) into its records.
#pragma once

#include <cstdint>

#include "base/job.h"
#include "pdfread/reader_record.h"
#include "pdfread/xref_records.h"
#include "pdfread/xref_table.h"

namespace brisel {

// Codes of the reading of cross-reference streams.
enum XrefStreamCode : int32_t {
    kStreamsTooShort = -5031,
    kStreamsNoEof = -5032,
    kStreamsNoRoomForStartxref = -3,
    kStreamsNoStartxref = -5033,
    kStreamsBadOffset = -5034,
    kStreamsNoTrailer = -6,
    kStreamsTooManyObjects = -5035,  // no memory for the records, or an absurd /Size
    kStreamsBadXRefStm = -5036,
    kStreamsEndAfterW = -5037,
    kStreamsWNotArray = -23,
    kStreamsBadW1 = -5038,
    kStreamsBadW2 = -25,
    kStreamsNoW = -5039,  // absent, or all widths 0
    kStreamsBadW3 = -5040,
    kStreamsEndAfterIndex = -5041,
    kStreamsIndexNotArray = -28,
    kStreamsBadIndexFirst = -5042,
    kStreamsBadIndexCount = -30,
    kStreamsBadPrev = -5043,
    kStreamsBadOlderOffset = -50,
    kStreamsEncrypted = -1000,
};

// Collects /Encrypt, /Size, /Root, /Info and /ID from the dictionary that
// follows cur (just after "obj" or "trailer"); the first /Size read
// allocates the records; /ID goes into the reader record; trailer.encryptKey
// is set by the first /Encrypt. The dictionary's body [dict, dictEnd); or
// OpenDictionary's failures, or kStreamsTooManyObjects.
Failure ReadStreamTrailer(Cursor cur, Cursor end, StreamTrailer& trailer, ReaderRecord& reader, Cursor& dict,
                      Cursor& dictEnd);

// Reads every section of the /Prev chain from startxref into the records,
// cross-reference streams and classic sections alike (a hybrid section's
// /XRefStm stream right after it); the newest entry wins. A /Prev that
// leads back to a section already read ends the chain. The classic sections
// are read from the image; table is not needed. A failure in a section
// names the section's offset. The job's stop request and inflate limit
// bound the decoding.
Failure ReadXrefStreams(const Job& job, Cursor start, Cursor end, const XrefTable& table, StreamTrailer& trailer,
                    ReaderRecord& reader);

}  // namespace brisel
