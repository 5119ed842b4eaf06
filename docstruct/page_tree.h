// The catalog check, the viewer settings taken from the input, and the page
// tree walk into the PageList.
#pragma once

#include <cstdint>

#include "base/job.h"
#include "docstruct/document.h"

namespace brisel {

// Fills doc.pages (and doc.outlines when bookmarks are kept) and returns the
// /Count of the page tree root, or -1 (failure with LastError, or no /Count
// with LastError 0).
int32_t AnalyzeDocument(Job& job, Document& doc);

}  // namespace brisel
