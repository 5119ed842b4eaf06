// The viewer settings that keep the input's value ("keep" choices) are read
// from the input's catalog.
#pragma once

#include "base/job.h"
#include "docstruct/document.h"

namespace brisel {

// ReadViewerSettings' codes.
enum ViewerCode : int32_t {
    kViewerNoGeneration = -6041,
    kViewerMalformed = -6042,
    kViewerNoR = -6043,
    kViewerNotFound = -6044,
};

// Resolves the "keep" choices of viewer from the catalog dictionary
// [catalog, catalogEnd); the failure of a malformed value.
Failure ReadViewerSettings(const Document& doc, Cursor catalog, Cursor catalogEnd, ViewerSettings& viewer);

}  // namespace brisel
