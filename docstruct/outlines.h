// The input's bookmarks, each with the page it leads to.
#pragma once

#include "base/job.h"
#include "docstruct/document.h"

namespace brisel {

// Fills doc.outlines from the catalog's /Outlines (doc.pages must be filled).
// 0, or -1 with LastError.
int AnalyzeOutlines(Job& job, Document& doc, Cursor catalog, Cursor catalogEnd);

}  // namespace brisel
