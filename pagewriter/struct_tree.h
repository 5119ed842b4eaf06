// The structure tree of a page file: the input's elements whose content lies
// on the file's pages, with their ancestors, in the input's order.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "base/job.h"
#include "docstruct/document.h"
#include "pagewriter/closure.h"

namespace brisel {

// The texts of the objects the caller writes after the closure: (number, text).
using WrittenObjects = std::vector<std::pair<int32_t, std::string>>;

// Builds the structure tree of the closure's pages from doc.structure: the
// elements that the parent tree lists for the pages' /StructParents and for
// the /StructParent(s) of the objects the file holds (annotations, forms),
// with their ancestors; each element's /K cut to its kids on the file (an
// element left empty goes), /P and /Pg naming the file's objects; a parent
// tree, /IDTree, /RoleMap and /ClassMap for them. Adds the elements and the
// root to objects, what their other entries reach to the closure, and the
// catalog's /StructTreeRoot and /MarkInfo lines to entries (nothing when no
// element has content on the pages). false on a closure failure.
bool GatherStructure(Job& job, const Document& doc, PageClosure& closure, std::string& entries,
                     WrittenObjects& objects);

}  // namespace brisel
