// Pages that a damaged page tree no longer reaches, found by reading every
// object the table lists.
#pragma once

#include <cstdint>

#include "base/job.h"
#include "docstruct/document.h"

namespace brisel {

// What a page-tree node's /Type says.
enum class NodeType { None, Page, Pages, Other };

// The /Type of the dictionary [inside, dictEnd) (inside: the byte after
// "<<"). A /Type whose value is no name, or a name glued to what follows,
// is Other.
NodeType ReadNodeType(Cursor inside, Cursor dictEnd);

// Whether a dictionary that a tree names as a kid and whose /Type is not
// /Page or /Pages still looks like a page: it holds no /Kids, and holds
// /Parent, /Contents or /MediaBox.
bool LooksLikePage(Cursor inside, Cursor dictEnd);

// Appends to doc.pages, in object-number order, the page objects of the file
// that the walk did not reach: dictionaries of /Type /Page, or whose /Parent
// names a /Pages node, or that hold /Contents and /MediaBox. Each takes the
// attributes its /Parent chain still gives. Returns how many were added.
int32_t AddScannedPages(Job& job, Document& doc);

}  // namespace brisel
