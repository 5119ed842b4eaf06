// The catalog of a page file, with the viewer settings of the job.
#pragma once

#include <cstdint>
#include <string>

#include "base/job.h"
#include "docstruct/document.h"

namespace brisel {

// WriteCatalog's code.
enum CatalogWriteCode : int32_t { kOpenActionViewUnclosed = -312 };

// Appends object 1, the catalog, to out. outlinesNumber is the object number
// of the page file's bookmark root, or 0 when it carries no bookmarks;
// extraEntries (whole lines, or empty) go last. Fails with
// kOpenActionViewUnclosed when the input's open-action view runs past the
// image.
Failure WriteCatalog(const Job& job, const Document& doc, int32_t outlinesNumber, const std::string& extraEntries,
                     std::string& out);

// The zoom text of an open action: the percentage divided by 100, formatted
// with "%f" and cut to four characters (100 gives "1.00", 1600 "16.0").
std::string ZoomText(const std::string& percent);

}  // namespace brisel
