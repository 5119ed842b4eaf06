// Annotations and article beads of the page dictionaries, edited in place
// before any page is copied, so that no page file reaches another page
// through them.
#pragma once

#include "base/job.h"
#include "docstruct/document.h"

namespace brisel {

// Overwrites with spaces the /B entries of every page dictionary, and the
// annotations that lead to other pages: with keepAnnotations, only the links
// whose destination is in this document (a /Dest, or a GoTo action), as
// single elements of the /Annots array, or the whole entry when every
// element goes; otherwise the whole /Annots entry. The image keeps its
// length. 1 when anything was blanked.
int BlankPageAnnots(Job& job, Document& doc, bool keepAnnotations);

}  // namespace brisel
