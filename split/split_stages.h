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

// Sets the status line and reports the percentage.
void ShowStatus(Job& job, Text text, int percent);

// ReadXref over the document's image into its table and root.
int ReadDocumentXref(Job& job, Document& doc);

// Reads the cross-reference data, unlocks, rewrites and repairs until the
// image is a readable classic image (path names the input file). 0 when it
// is, else the job's result code.
int ReadUntilClassic(Job& job, const std::string& path, Document& doc);

}  // namespace brisel
