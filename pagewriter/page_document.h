// One complete output file for one page of the input.
#pragma once

#include <cstdint>

#include "base/job.h"
#include "docstruct/document.h"

namespace brisel {

// Builds the page file in memory and writes it to job.OutputPath. 1 when the
// file is written; 0 otherwise, with LastError set unless the job was stopped.
int WritePageDocument(Job& job, int32_t pageIndex, const Document& doc);

}  // namespace brisel
