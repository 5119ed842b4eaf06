// The document's named destinations ordered by the page they lead to, so
// that a file of several pages finds the names that lead into it without
// looking at the others.
#pragma once

#include <cstdint>
#include <utility>

#include "base/job.h"
#include "docstruct/document.h"

namespace brisel {

// Fills doc.namedDestPages from the name tree and the /Dests dictionary,
// ordered by page, then by key. Names that lead to no page of the list are
// left out; tables that cannot be read give no names (never a failure).
void IndexNamedDests(Job& job, Document& doc);

// The entries of one page, in key order.
std::pair<const NamedDestOfPage*, const NamedDestOfPage*> NamedDestsOfPage(const Document& doc, int32_t page);

}  // namespace brisel
