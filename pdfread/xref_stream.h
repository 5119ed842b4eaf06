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
// dictionaries say goes into the reader record. The failure is the
// reader's, StopCode, or what decryption->Open returned.
Failure NormaliseXrefStreams(Job& job, Block& image, const XrefTable& table, ReaderRecord& reader,
                             StreamDecryption* decryption);

// The repair of a file whose cross-reference streams cannot be read:
// rebuilds the image from the objects found (RebuildClassic), unpacks every
// object stream found among them (each object that no object in the file
// stands for; a later stream's copy over an earlier one's) and rebuilds
// again, so that a packed catalog is found. An encrypted file (one whose
// trailers or stream dictionaries name /Encrypt) is opened through
// decryption and rewritten plain; with no decryption it is rebuilt as it
// stands.
Failure RebuildWithObjectStreams(Job& job, Block& image, ReaderRecord& reader,
                                 StreamDecryption* decryption = nullptr);

}  // namespace brisel
