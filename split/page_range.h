// Page selections (--pages and --parts), reading a page field, and the page
// count query that runs the front half of a split job.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/job.h"

namespace brisel {

// Reads a page field: spaces around it are ignored, empty means 0, otherwise
// it must be decimal digits with a value above 0. false for any other text.
bool ReadPageField(const std::string& text, int32_t& value);

// A page as a selection names it: its number, or its place from the end
// ("z" is the last page, "r2" the one before). number 0: the range is open
// on that side.
struct PageRef {
    int32_t number = 0;
    bool fromEnd = false;
};

enum class Parity { All, Odd, Even };

// One item of a selection: "7", "3-9", "3-", "-5", "r3-z", "1-z:odd".
struct PageSpan {
    PageRef first, last;
    Parity parity = Parity::All;
    std::string text;  // as given, for messages
};

// Reads a selection: items separated by commas, each a page or a range of
// pages A-B (A- to the end, -B from the start) with ":odd" or ":even" after
// it; a page is a number from 1 on, "z" (the last page) or "rN" (the N-th
// from the end). A range that runs backwards ("5-3") is refused. Empty
// when the text is such a list, else why not (in English, for the argument
// error). With disjoint, no page may be in two items (as far as the text
// tells without the page count).
std::string ParsePageSelection(const std::string& text, std::vector<PageSpan>& spans, bool disjoint);

// The pages (1-based, ascending) of an item in a document of count pages.
// 0 when they are all there; else the page the item names that the document
// lacks (-N for "rN" past the first page), or INT32_MIN when the range runs
// backwards once counted from the end.
int32_t ResolvePageSpan(const PageSpan& span, int32_t count, std::vector<int32_t>& pages);

// Why a selection could not be resolved, for the message of a job: "page 13
// is past the last page (12)", in the job's language.
std::string PageSpanProblem(Language language, const PageSpan& span, int32_t missing, int32_t count);

// The number of pages the page tree walk finds, or -1 on any failure.
int32_t QueryPageCount(Job& job, const std::string& inputPath);

}  // namespace brisel
