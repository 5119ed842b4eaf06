// Rewriting a file that uses cross-reference streams and object streams into
// a classic image in memory.
#pragma once

#include "base/block.h"
#include "base/job.h"
#include "pdfread/xref_table.h"

namespace brisel {

// Replaces the image by a classic image: object streams unpacked in place,
// a classic cross-reference section and trailer appended. The table is the
// classic part of a hybrid file. 0 on success; otherwise a code (LastError,
// StopCode, 10 after a security refusal, which also sets job.ReadAborted).
int NormaliseXrefStreams(Job& job, Block& image, const XrefTable& table);

}  // namespace brisel
