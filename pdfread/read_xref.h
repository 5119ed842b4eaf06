// Reading the classic cross-reference sections and trailers of a PdfImage.
#pragma once

#include <cstdint>

#include "base/job.h"
#include "pdfread/reader_record.h"
#include "pdfread/xref_table.h"

namespace brisel {

// Reads the cross-reference sections along the /Prev chain into the table and
// takes /Root, /Info, /ID, /Encrypt and /XRefStm from the trailers into the
// reader record. 1 on success, 0 on failure (code in LastError). Sets
// reader.xrefStreams when the file uses cross-reference streams. The
// document identifier of an earlier read stays when the trailers name none.
int ReadXref(Job& job, Cursor start, Cursor end, XrefTable& table, ReaderRecord& reader);

// The /Count of the page tree root, or -1.
int32_t CountPages(Job& job, Cursor start, Cursor end, int32_t rootNumber, int32_t rootGeneration,
                   const XrefTable& table);

// Reads the first element of an /ID array (cursor just after the key) into
// reader.fileId; fileIdLength gets the byte count or the decoder's negative
// code.
void ReadFileId(Job& job, Cursor cur, Cursor end, ReaderRecord& reader);

}  // namespace brisel
