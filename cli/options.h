// The command line's arguments.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "split/engine.h"

namespace brisel {

struct CliOptions {
    std::vector<std::string> files;
    bool help = false;
    bool version = false;
    bool quiet = false;  // print nothing but errors
    // Page-range mode: --pages, --out or --same-date.
    bool range = false;
    int32_t firstPage = 0, lastPage = 0;
    bool hasOut = false;
    std::string outDir;
    bool sameDate = false;
    bool keepAnnotations = true;
    bool keepDocumentData = true;
    // The many-files warning.
    bool yes = false;
    std::optional<int32_t> warnLimit;
    bool noWarn = false;
    std::optional<std::string> password;
    std::string namePattern;  // --name; empty: the usual names
    // Viewer settings of the output files.
    ViewerSettings viewer;
    // Whether --bookmarks or --options chose the bookmarks (parts keep
    // theirs unless told otherwise).
    bool bookmarksChosen = false;
    // Parts of several pages instead of one file per page.
    std::optional<PartRequest> parts;
};

// Parses argv; returns an empty string, or the reason the arguments are wrong.
std::string ParseArguments(int argc, const char* const* argv, Language language, CliOptions& options);

// Splits "A-B", "A-", "-B", "A" into the two page fields; false when a field
// breaks the page-field rules.
bool ParsePageRange(const std::string& text, int32_t& first, int32_t& last);

const char* UsageText();

}  // namespace brisel
