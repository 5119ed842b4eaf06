// The whole-image rewrite: every object of a classic image with its strings
// and streams decrypted (the input, once unlocked) or encrypted (each page
// file of an encrypted input). Both work in memory only.
#pragma once

#include <cstdint>

#include "base/block.h"
#include "base/job.h"
#include "pdfread/xref_table.h"

namespace brisel {

enum RecodeMode : int { kDecrypt = 0, kEncrypt = 1 };

// Rewrites the image walking the table in object order, with the keys of
// job.Security. Decrypting drops the encryption dictionary; encrypting
// appends one and names it and the document identifier in the trailer. On
// success 0 and the image is replaced (the old one freed); otherwise a
// negative code (also in LastError) and the image is left as it was.
int RecodeImage(Job& job, Block& image, const XrefTable& table, int32_t rootNumber, RecodeMode mode);

// Reads the image's cross-reference data (repairing it when it cannot be
// read) and runs RecodeImage. Reading leaves the job's reading state (file
// identifier, /Info, flags) as it was. 0, or 6 when the image cannot be read
// or rewritten (detail in LastError).
int RecodeDocument(Job& job, Block& image, RecodeMode mode);

}  // namespace brisel
