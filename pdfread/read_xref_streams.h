// Reading the cross-reference streams of a file (following their /Prev
// chain, and the classic part of a hybrid file) into its records.
#pragma once

#include <cstdint>

#include "base/job.h"
#include "pdfread/reader_record.h"
#include "pdfread/xref_records.h"
#include "pdfread/xref_table.h"

namespace brisel {

// Collects /Encrypt, /Size, /Root, /Info and /ID from the dictionary that
// follows cur (just after "obj" or "trailer"); the first /Size read
// allocates the records; /ID goes into the reader record. 0 with the
// dictionary's body [dict, dictEnd); -1000 when trailer.encryptKey is set;
// -7, -8, -9, -87 no dictionary; -13 no memory for the records (or an
// absurd /Size).
int ReadStreamTrailer(Job& job, Cursor cur, Cursor end, StreamTrailer& trailer, ReaderRecord& reader, Cursor& dict,
                      Cursor& dictEnd);

// Finds the newest cross-reference stream through startxref (or a hybrid
// file's /XRefStm, whose classic entries come from table) and reads every
// stream of the /Prev chain into the records; the newest entry wins. A /Prev
// that leads back to a stream already read ends the chain. 0 or a code.
int ReadXrefStreams(Job& job, Cursor start, Cursor end, const XrefTable& table, StreamTrailer& trailer,
                    ReaderRecord& reader);

}  // namespace brisel
