// Pieces of the split job that the page count query and the fuzz target
// share.
#pragma once

#include <string>

#include "base/job.h"
#include "base/texts.h"
#include "docstruct/document.h"

namespace brisel {

// Clears what a job must not inherit from an earlier one.
void ResetJob(Job& job);

// Opens the document's image (OpenDocument with the job's password loop)
// until it is a readable classic image. 0 when it is, else the job's result
// code.
int ReadUntilClassic(Job& job, Document& doc);

}  // namespace brisel
