// Page dictionaries written straight into a /Kids array, as some writers do:
// each is given an object number of its own, so that a page is always an
// object the page writer can copy and renumber.
#pragma once

#include <cstdint>
#include <vector>

#include "base/job.h"
#include "docstruct/document.h"

namespace brisel {

enum DirectKidsCode : int32_t { kDirectKidsNotLifted = -137 };

// Appends an update to doc.image that writes each listed page tree node
// again with references in place of the dictionaries in its /Kids, and
// each such dictionary as a new object; doc.table is read again. The
// failure when nothing could be lifted or the table not read again.
Failure LiftDirectKids(Job& job, Document& doc, const std::vector<int32_t>& nodes);

}  // namespace brisel
