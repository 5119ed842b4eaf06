// The named destinations of a file of several pages: the input's names that
// lead to its pages, so that its links by name keep working.
#pragma once

#include <string>

#include "docstruct/document.h"
#include "pagewriter/bookmark_tree.h"

namespace brisel {

// The catalog entries (/Names with a /Dests name tree of one leaf, and
// /Dests) that hold the names leading to the file's pages, each leading to
// the file's page object; empty when no name leads there.
std::string PartNamedDests(const Document& doc, const PageObjectNumbers& pages);

}  // namespace brisel
