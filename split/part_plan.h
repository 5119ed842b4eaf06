// Parts of several pages: which pages go into each output file when the
// job writes parts (every N pages, at the bookmarks of a level, or by page
// ranges) instead of one file per page.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
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

}  // namespace brisel
