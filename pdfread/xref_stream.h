// Rewriting a file that uses cross-reference streams and object streams into
// a classic image in memory.
#pragma once

#include "base/block.h"
#include "base/job.h"
#include "pdfread/reader_record.h"
#include "pdfread/stream_decryption.h"
#include "pdfread/xref_table.h"

namespace brisel {

// Replaces the image by a classic image: object streams unpacked in place,
// a classic cross-reference section and trailer appended. The table is the
// classic part of a hybrid file. An encrypted file is opened and decrypted
// through decryption (null: an encrypted file fails); what the stream
// dictionaries say goes into the reader record. 0 on success;
// otherwise a code (LastError, StopCode, or what decryption->Open returned).
int NormaliseXrefStreams(Job& job, Block& image, const XrefTable& table, ReaderRecord& reader,
                         StreamDecryption* decryption);

}  // namespace brisel
