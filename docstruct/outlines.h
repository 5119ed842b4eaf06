// The input's bookmarks, each with the page it leads to.
#pragma once

#include "base/job.h"
#include "docstruct/document.h"

namespace brisel {

// AnalyzeOutlines' codes for the outline items (their values fail with the
// Value codes of named_dests.h).
enum OutlineCode : int32_t {
    kOutlineLoop = -6031,  // an item reached twice, or no memory
    kOutlinesNotDict = -151,
    kItemNotDict = -153,
    kItemNotClosed = -6032,
    kItemBadCount = -6033,
};

// Fills doc.outlines from the catalog's /Outlines (doc.pages must be filled);
// the failure that ended it (the job's stop code when it was stopped).
Failure AnalyzeOutlines(Job& job, Document& doc, Cursor catalog, Cursor catalogEnd);

}  // namespace brisel
