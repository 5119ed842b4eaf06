// The form of a page file: the fields that have a widget on its pages.
#pragma once

#include <string>

#include "base/job.h"
#include "docstruct/document.h"
#include "pagewriter/closure.h"

namespace brisel {

// Adds to the closure the fields whose widgets are on its pages, with their
// ancestors (so full names stay), each ancestor's /Kids cut to what is on
// the pages, and what the form's /DR reaches; entry gets the catalog's
// /AcroForm line (nothing without such fields). The form's /XFA is left out:
// its template names the fields of every page, and readers fall back to the
// fields. false on a closure failure.
bool GatherFormFields(const Document& doc, PageClosure& closure, std::string& entry);

}  // namespace brisel
