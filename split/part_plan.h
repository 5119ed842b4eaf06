// Parts of several pages: which pages go into each output file when the
// job writes parts (every N pages, at the bookmarks of a level, or by page
// ranges) instead of one file per page.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "docstruct/document.h"
#include "split/page_range.h"

namespace brisel {

enum class PartMode { Every, AtBookmarks, Ranges, Size };

struct PartRequest {
    PartMode mode = PartMode::Every;
    int32_t every = 1;          // pages per part (Every)
    int32_t level = 1;          // bookmark depth that starts parts (AtBookmarks)
    std::vector<PageSpan> ranges;  // one part each, in the order given (Ranges)
    // Bytes a part file may take at most; 0: no limit. With it, each part of
    // the mode is cut further before it grows past the size.
    int64_t maxSize = 0;
};

// One output file: 0-based pages first to last, and the bookmark that
// started it (an OutlineTable index, -1 when none). pages lists the pages
// when they are not every page from first to last (a selection such as
// "1-9:odd"); empty otherwise.
struct Part {
    int32_t first = 0, last = 0;
    int32_t bookmark = -1;
    std::vector<int32_t> pages;
};

// The 0-based pages of a part, in order.
std::vector<int32_t> PartPages(const Part& part);

// A part of the given pages (0-based, ascending, not empty).
Part MakePart(const std::vector<int32_t>& pages, int32_t bookmark = -1);

// What ParsePageSelection accepts for --parts, for the message that refuses
// a list.
const char* PartRangesHelp();

// The parts of the selected pages (0-based, ascending) of a document of
// pageCount pages, in page order, before any size limit. false when no page
// of the request is selected, or (with why) when a range names a page beyond
// the document or two ranges share a page.
bool PlanParts(const PartRequest& request, const OutlineTable& outlines, int32_t pageCount,
               const std::vector<int32_t>& selected, std::vector<Part>& parts, std::string* why = nullptr,
               Language language = Language::English);

// The same for the pages [first, last).
bool PlanParts(const PartRequest& request, const OutlineTable& outlines, int32_t pageCount, int32_t first,
               int32_t last, std::vector<Part>& parts);

// The title of the bookmark that starts each part, as a file name may hold
// it (for "%t" of --name): see TitleForFileName; empty for a part that no
// bookmark starts.
std::vector<std::string> PartTitles(const Document& doc, const std::vector<Part>& parts);

// A bookmark title (the bytes of its PDF text string) as a file name may
// hold it on every platform: decoded to UTF-8; characters no file name can
// hold made "_"; invisible characters (bidirectional controls, zero-width
// characters) left out; no leading dot, no trailing dot or space, no name
// that Windows keeps for a device ("CON" gives "CON_", "nul.x" "nul_.x");
// cut to 120 bytes.
std::string TitleForFileName(std::string_view titleBytes);

// The bytes of outline record r's title (its PDF string decoded from the
// file's syntax, not yet as text); empty when it has none.
std::string OutlineTitleBytes(const Document& doc, int32_t record);

// The title of an OutlineTable entry in UTF-8; empty for -1 or a title that
// cannot be read.
std::string BookmarkTitle(const Document& doc, int32_t bookmark);

}  // namespace brisel
