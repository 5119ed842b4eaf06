// Annotations and article beads of the page dictionaries, edited in place
// before any page is copied, so that no page file reaches another page
// through them.
#pragma once

#include <cstdint>
#include <vector>

#include "base/job.h"
#include "docstruct/document.h"

namespace brisel {

// Overwrites with spaces the /B entries of every page dictionary, and the
// annotations that lead to other pages: with keepAnnotations, only the links
// whose destination is in this document (a /Dest, or a GoTo action), as
// single elements of the /Annots array, or the whole entry when every
// element goes; otherwise the whole /Annots entry. The image keeps its
// length. 1 when anything was blanked.
// With partOf (for each page, the output file that holds it, -1 for none),
// a link whose destination page (explicit or by name) goes into the same
// file as the link's page stays too; without it, one that leads to its own
// page.
int BlankPageAnnots(Job& job, Document& doc, bool keepAnnotations, const std::vector<int32_t>* partOf = nullptr);

}  // namespace brisel
