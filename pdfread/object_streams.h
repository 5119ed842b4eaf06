// Unpacking one object stream into the new image during the rewrite of a
// file that uses cross-reference streams.
#pragma once

#include <cstdint>

#include "base/job.h"
#include "pdfread/xref_records.h"

namespace brisel {

// The object of object stream streamNumber starts at `at` (the read
// position). Writes the compressed objects that the records still place in
// it as "N 0 obj ... endobj" and records their new offsets; the stream's own
// object is dropped and the read position moves past it. A failure names
// the stream and its offset. The job bounds the inflating and may stop it.
Failure UnpackObjectStream(const Job& job, StreamRewrite& rw, int32_t streamNumber, Cursor at);

}  // namespace brisel
