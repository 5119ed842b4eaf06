// Which resource dictionaries several pages share: a page file prunes those
// to what its pages use, and copies a page's own dictionary as it is.
#pragma once

#include "base/job.h"
#include "docstruct/document.h"

namespace brisel {

// The value of the /Resources a page uses (its own, or the one it inherits),
// or null; shared tells whether other pages use that dictionary too.
Cursor PageResources(const Document& doc, const PageEntry& page, bool& shared);

// Whether a resource dictionary or one of its category dictionaries held as
// object number is used by several pages.
inline bool IsSharedResource(const Document& doc, int32_t number) { return doc.sharedResources.Find(number) > 1; }

// Counts, once per document, the pages that use each resource dictionary
// held as an object or inherited from a node of the page tree, and the
// resource dictionaries that name each category dictionary (/Font,
// /XObject, ...) held as an object. Work is one look at each page
// dictionary and at each distinct resource dictionary.
void FindSharedResources(Job& job, Document& doc);

}  // namespace brisel
