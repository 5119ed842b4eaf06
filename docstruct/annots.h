// Blanking of link annotations and article beads in the page dictionaries.
#pragma once

#include "base/job.h"
#include "docstruct/document.h"

namespace brisel {

// Overwrites the /Annots and /B entries of every page dictionary with spaces,
// so that no page reaches another through them. 1 when anything was blanked.
int BlankPageAnnots(Job& job, Document& doc);

}  // namespace brisel
