// The page dictionaries of a page file.
#pragma once

#include <cstdint>
#include <string>

#include "base/job.h"
#include "docstruct/document.h"
#include "pagewriter/closure.h"

namespace brisel {

// Appends the page dictionary of page k of the closure as an object: its
// references renumbered, /Parent naming the file's Pages object (2), and the
// attributes it inherits from the page tree added with what they reach
// (which joins the closure). The failure names the page or the node that
// holds a damaged attribute.
Failure WritePageObject(const Document& doc, const PageEntry& page, int32_t k, PageClosure& closure,
                        std::string& out);

}  // namespace brisel
