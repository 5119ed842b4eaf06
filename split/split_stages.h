// Pieces of the split job that the page count query shares.
#pragma once

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

}  // namespace brisel
