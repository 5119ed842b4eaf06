// The form's field tree: each field's parent and place, read once per
// document from the form's /Fields down.
#pragma once

#include "base/job.h"
#include "docstruct/document.h"

namespace brisel {

// Fills doc.data.fieldTree from the /Fields array at fields (or the array
// it names). Each field is read once, so /Kids that lead back end.
void ReadFieldTree(Document& doc, Cursor fields);

}  // namespace brisel
