// The three places where the rewrite of cross-reference streams meets
// encryption. Plain files pass straight through them; the security handler
// fills in the encrypted cases (job.EncryptKeyPos set).
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/block.h"
#include "base/job.h"
#include "pdfread/xref_records.h"

namespace brisel {

// Runs once the records are read, when a stream dictionary names /Encrypt:
// finds the encryption dictionary, checks that the file can be opened and
// split, and asks for the password. 0 when the objects can be decrypted on
// the way; otherwise the pass ends with the result (-121 no encryption
// dictionary; job.ReadAborted is set when the file is refused).
int OpenEncryptedStreams(Job& job, StreamRewrite& rw);

// The plain bytes of an object stream's data, before they are inflated. For
// an encrypted file the data is decrypted into holder and data and length
// then describe holder. 0, or a code in LastError.
int PlainObjectStreamData(Job& job, const StreamRewrite& rw, int32_t streamNumber, Cursor& data, size_t& length,
                          Block& holder);

// Carries the input bytes from the read position up to limit (the next object
// stream, or the image end) into the new image and moves the read position
// there; the in-file objects of the span (rw.inFileOrder from rw.inFileNext
// on) get their new offsets. For an encrypted file each of them is
// decrypted on the way. 0, or -53 when the new image cannot grow.
int CopyInputUpTo(Job& job, StreamRewrite& rw, Cursor limit);

}  // namespace brisel
