// The outline tree of a page file: the input's bookmarks that lead to its page.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "base/job.h"
#include "docstruct/document.h"

namespace brisel {

// The OutlineTable records (record 0 excluded) that lead to the page, in
// document order; empty unless bookmarks are kept.
std::vector<int32_t> SelectPageBookmarks(const Job& job, const Document& doc, int32_t pageIndex);
// The records that lead to any of the pages, in document order.
std::vector<int32_t> SelectPartBookmarks(const Job& job, const Document& doc, const std::vector<int32_t>& pageIndexes);

// Adds to records (sorted) the ancestors of each, so that a file of several
// pages keeps the shape of the tree; nothing in flat mode.
void AddBookmarkAncestors(const Job& job, const Document& doc, std::vector<int32_t>& records);

// Which object of the page file each input page (by index) became, sorted
// by page index; a bookmark leads to its page's object. Empty: every
// bookmark leads to object 3, the one page of a page file.
using PageObjectNumbers = std::vector<std::pair<int32_t, int32_t>>;

// WriteBookmarkTree's codes.
enum BookmarkCode : int32_t { kBookmarksNoMemory = -7011, kBookmarkOffsetsFull = -1012 };

// Appends the bookmark nodes as objects firstNumber, firstNumber + 1, ...
// (the root first), recording each object's offset. Returns the next free
// object number.
Result<int32_t> WriteBookmarkTree(const Job& job, const Document& doc, const std::vector<int32_t>& selected,
                                  int32_t firstNumber, std::string& out, std::vector<size_t>& offsets,
                                  const PageObjectNumbers& pages = {});

}  // namespace brisel
