// The whole-image rewrite: every object of a classic image with its strings
// and streams decrypted (the input, once unlocked) or encrypted (each page
// file of an encrypted input). Both work in memory only.
#pragma once

#include <cstdint>

#include "base/block.h"
#include "base/job.h"
#include "pdfread/reader_record.h"
#include "pdfread/xref_table.h"

namespace brisel {

enum RecodeMode : int { kDecrypt = 0, kEncrypt = 1 };

// The result of RecodeDocument when the image cannot be read or rewritten.
constexpr int kRecodeFailed = 6;

// Rewrites the image walking the table in object order, with the keys and
// document identifier of the input's record (keys). read is what reading
// the image itself found: its catalog and information dictionary.
// Decrypting drops the encryption dictionary; encrypting appends one and
// names it and the document identifier in the trailer. On success 0 and the
// image is replaced (the old one freed); otherwise a negative code and the
// image is left as it was.
int RecodeImage(Job& job, const ReaderRecord& keys, Block& image, const XrefTable& table, const ReaderRecord& read,
                RecodeMode mode);

// Reads the image's cross-reference data into a record of its own, read
// (repairing the image when it cannot be read), and runs RecodeImage with
// the input's keys. No failure, or why the image cannot be read or
// rewritten (kRecodeNoDetail when reading does not say).
Failure RecodeDocument(Job& job, const ReaderRecord& keys, Block& image, RecodeMode mode, ReaderRecord& read);

}  // namespace brisel
