// What a page file carries of the input's document data besides its form:
// language, viewer preferences that make sense for its
// pages, XMP metadata, output intents, the labels of its pages, and the
// entries of the information dictionary that describe the document.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/job.h"
#include "docstruct/document.h"
#include "pagewriter/closure.h"

namespace brisel {

// Appends the line "key value" with the value [value, valueEnd) of the image
// copied and what it reaches added to the closure. false on a closure failure.
bool AppendWalkedEntry(PageClosure& closure, const char* key, Cursor value, Cursor valueEnd, std::string& out);

// Adds the catalog lines to entries and what they reach to the closure.
// filePages: the input page index of each page of the file, in file order.
// false on a closure failure.
bool GatherDocumentData(Job& job, const Document& doc, PageClosure& closure, const std::vector<int32_t>& filePages,
                        std::string& entries);

// Appends the input's /Title, /Author, /Subject, /Keywords, /Creator and
// /ModDate lines (direct values only) for the information dictionary.
void AppendInfoEntries(Job& job, const Document& doc, std::string& out);

}  // namespace brisel
