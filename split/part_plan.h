// Parts of several pages: which pages go into each output file when the
// job writes parts (every N pages, at the bookmarks of a level, or by page
// ranges) instead of one file per page.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "docstruct/document.h"

namespace brisel {

enum class PartMode { Every, AtBookmarks, Ranges };

// A range of 1-based pages as --parts gives it; last 0 means "to the end".
struct PageSpan {
    int32_t first = 0, last = 0;
};

struct PartRequest {
    PartMode mode = PartMode::Every;
    int32_t every = 1;          // pages per part (Every)
    int32_t level = 1;          // bookmark depth that starts parts (AtBookmarks)
    std::vector<PageSpan> ranges;  // in the order given (Ranges)
};

// One output file: 0-based pages first to last (inclusive), and the
// bookmark that started it (an OutlineTable index, -1 when none).
struct Part {
    int32_t first = 0, last = 0;
    int32_t bookmark = -1;
};

// Reads a list such as "1-3,7,9-": ranges A-B, A- and A separated by
// commas, each A no greater than B, no two sharing a page. false when the
// text is not such a list.
bool ParsePartRanges(const std::string& text, std::vector<PageSpan>& ranges);

// What ParsePartRanges accepts, for the message that refuses a list.
const char* PartRangesHelp();

// The parts of the pages [first, last) (0-based) of a document of pageCount
// pages, in page order. false when a range names a page beyond the document
// or no page of the request lies in [first, last).
bool PlanParts(const PartRequest& request, const OutlineTable& outlines, int32_t pageCount, int32_t first,
               int32_t last, std::vector<Part>& parts);

// The title of the bookmark that starts each part, as a file name may hold
// it (for "%t" of --name): decoded from the input's text encodings to UTF-8,
// every character a file name cannot hold made "_", cut to 120 bytes; empty
// for a part that no bookmark starts.
std::vector<std::string> PartTitles(const Document& doc, const std::vector<Part>& parts);

// The title of an OutlineTable entry in UTF-8; empty for -1 or a title that
// cannot be read.
std::string BookmarkTitle(const Document& doc, int32_t bookmark);

}  // namespace brisel
