// The names a page file's pages draw with, found in their content streams and
// in what those streams use in turn, and the entries of shared resource
// dictionaries that name none of them.
#pragma once

#include <utility>
#include <vector>

#include "base/job.h"
#include "docstruct/dict_entries.h"
#include "docstruct/document.h"
#include "pagewriter/closure.h"

namespace brisel {

// The categories of a resource dictionary whose entries are left out when no
// content names them (/ProcSet and unknown keys always stay).
bool IsPrunedCategory(const DictEntry& entry);

// The entries of the shared resource dictionaries of pages that neither
// their content streams nor the forms, patterns, Type 3 glyphs, soft masks
// and annotation appearances they use name (colour spaces used without a
// name, /Default..., always stay). Work follows what the pages use, and the
// shared dictionaries themselves. true with no ranges when no dictionary is
// shared; false when some content cannot be decoded or read to its end: the
// pages then keep every resource.
bool FindUnusedResources(Job& job, const Document& doc, const std::vector<const PageEntry*>& pages,
                         SkipRanges& skip);

}  // namespace brisel
