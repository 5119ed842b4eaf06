// The three places where the rewrite of cross-reference streams meets
// encryption. Plain files pass straight through them; for an encrypted file
// (trailer.encryptKey set by a stream dictionary) rw.decryption opens the
// file and decrypts every object on its way into the new image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/job.h"
#include "pdfread/xref_records.h"

namespace brisel {

// Runs once the records are read, when a stream dictionary names /Encrypt:
// rw.decryption opens the file, with rw.decrypt set then; otherwise the
// pass ends with the failure: kRewriteNoEncryptObject (or nothing to open it
// with), or what rw.decryption->Open returned.
Failure OpenEncryptedStreams(Job& job, StreamRewrite& rw);

// The plain bytes of an object stream's data, before they are inflated. When
// decrypting, the data is decrypted into holder and data and length then
// describe holder. The failure is kRewriteNotDecrypted.
Failure PlainObjectStreamData(const StreamRewrite& rw, int32_t streamNumber, Cursor& data, size_t& length,
                              std::vector<uint8_t>& holder);

// The value of an indirect /Length object: one that stands in the input, or
// one already unpacked into the new image; -1 when neither holds it.
int64_t LengthFromRecords(const StreamRewrite& rw, int32_t number, int32_t generation);

// Carries the input from the read position up to limit (the next object
// stream, or the image end) into the new image and moves the read position
// there; the in-file objects of the span (rw.inFileOrder from rw.inFileNext
// on) get their new offsets. A plain file is copied byte for byte. When
// decrypting, only the file header and the objects themselves are written,
// each decrypted; the encryption dictionary and the cross-reference streams
// are dropped. The failure is kRewriteImageFull, or the copier's code with
// the object it copied.
Failure CopyInputUpTo(Job& job, StreamRewrite& rw, Cursor limit);

}  // namespace brisel
