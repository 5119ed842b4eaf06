// The catalog check, the viewer settings taken from the input, and the page
// tree walk into the PageList.
#pragma once

#include <cstdint>

#include "base/job.h"
#include "docstruct/document.h"

namespace brisel {

// Fills doc.pages (and doc.outlines when bookmarks are kept) and returns the
// number of pages the walk found, or -1 with LastError on failure.
int32_t AnalyzeDocument(Job& job, Document& doc);

}  // namespace brisel
