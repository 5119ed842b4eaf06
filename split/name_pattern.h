// Page file names from a pattern (--name): "%d" the page number padded to the
// width of the page count, "%Nd" padded to N digits, "%s" the input's name
// without its extension, "%%" a percent sign; for parts of several pages
// "%d" is the first page, "%e" (or "%Ne") the last and "%t" the title of the
// bookmark that starts the part. A pattern names a file, never
// a folder; names from it are exact (no discriminator is ever added).
#pragma once

#include <cstdint>
#include <string>

namespace brisel {

// What a pattern's fields stand for, for one page file.
struct NameFields {
    std::string title;      // the input's file name without ".pdf"
    int32_t page = 0;       // 1-based page number
    int32_t pageCount = 0;  // pages of the whole document
    int32_t lastPage = 0;   // a part's last page ("%e"); 0: the page
    std::string bookmark;   // the title of the bookmark that starts a part ("%t"), as a file name may hold it
};

// Empty when the pattern is usable, else why not (in English, for the
// argument error). A usable pattern has a page field, so that no two pages
// share a name.
std::string CheckNamePattern(const std::string& pattern);

// Whether the pattern has the bookmark title field "%t".
bool NamePatternUsesTitle(const std::string& pattern);

// The file name the pattern gives; the pattern must have passed the check.
std::string ExpandNamePattern(const std::string& pattern, const NameFields& fields);

}  // namespace brisel
