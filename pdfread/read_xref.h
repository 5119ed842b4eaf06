// Reading the classic cross-reference sections and trailers of a PdfImage.
#pragma once

#include <cstdint>

#include "base/job.h"
#include "pdfread/reader_record.h"
#include "pdfread/xref_table.h"

namespace brisel {

// ReadXref's codes. Entry errors differ by where the entry stands: the first
// subsection of the newest section, a later subsection of it, or an older
// section.
enum ReadXrefCode : int32_t {
    kXrefNoEof = -15,
    kXrefNoStartxref = -16,
    kXrefBadStartxref = -17,
    kXrefNotXref = -18,  // no "xref" at the offset: a cross-reference stream or damage
    kXrefFirstHeader = -19,
    kXrefFirstOffset = -22,
    kXrefFirstGeneration = -24,
    kXrefFirstEndBeforeType = -26,
    kXrefFirstBadType = -27,
    kXrefLaterNoCount = -29,
    kXrefLaterOffset = -42,
    kXrefLaterGeneration = -44,
    kXrefLaterEndBeforeType = -46,
    kXrefLaterBadType = -47,
    kXrefOlderOffset = -62,
    kXrefOlderGeneration = -64,
    kXrefOlderEndBeforeType = -66,
    kXrefOlderBadType = -67,
    kXrefEndBeforeTrailer = -80,
    kXrefNoTrailer = -81,
    kXrefTrailerGlued = -82,
    kXrefEndAfterTrailer = -83,
    kXrefTrailerNotDict = -84,
    kXrefTrailerNotClosed = -87,
    kXrefBadPrev = -89,
    kXrefOlderNoCount = -90,
    kXrefNoMemory = -91,
    kXrefPrevLoop = -92,
    kXrefCutUpdate = -5066,  // objects after the last %%EOF: an update cut short
};

// Reads the cross-reference sections along the /Prev chain into the table and
// takes /Root, /Info, /ID, /Encrypt and /XRefStm from the trailers into the
// reader record; otherwise the failure (a stop fails with the stop code). Sets
// reader.xrefStreams when the file uses cross-reference streams. The
// document identifier of an earlier read stays when the trailers name none.
// A /Prev chain that loops fails (kXrefPrevLoop); an entry in use whose
// offset holds no header of its object is listed free, and its number goes
// into reader.missingObjects.
Failure ReadXref(const Job& job, Cursor start, Cursor end, XrefTable& table, ReaderRecord& reader);

// The /Count of the page tree root, -1 when it has none, or the failure to
// find it (kCountNotNumber when unreadable).
Result<int32_t> CountPages(Cursor start, Cursor end, int32_t rootNumber, int32_t rootGeneration,
                           const XrefTable& table);

// Reads the first element of an /ID array (cursor just after the key) into
// reader.fileId; fileIdLength gets the byte count or the decoder's negative
// code.
void ReadFileId(Cursor cur, Cursor end, ReaderRecord& reader);

}  // namespace brisel
