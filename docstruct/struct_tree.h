// The input's structure tree, indexed once per job (doc.structure): its
// elements in tree order with their parents and pages, their marked content
// and object references by page, the parent tree and the IDTree flattened.
// Every object is read once, so loops in /K and in the number and name
// trees end. A broken tree gives what of it is sound; a root that is no
// dictionary, or one that leads to no element, gives no index.
#pragma once

#include "base/job.h"
#include "docstruct/document.h"

namespace brisel {

// Needs doc.pages and doc.treeObjects (the page tree walked) and doc.data.
void AnalyzeStructure(Job& job, Document& doc);

}  // namespace brisel
