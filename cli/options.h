// The command line's arguments, and the one table of options that both the
// parser and --help read, so that the help cannot miss an option.
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
    bool quiet = false;    // print nothing but errors
    bool verbose = false;  // list every page file written
    bool json = false;     // one JSON object per input on stdout, at the end
    // Page-range mode: --pages, --out or --same-date.
    bool range = false;
    int32_t firstPage = 0, lastPage = 0;
    std::vector<PageSpan> pageSpans;  // --pages; empty: every page
    bool hasOut = false;
    std::string outDir;
    bool sameDate = false;
    bool noSync = false;
    bool keepAnnotations = true;
    bool keepDocumentData = true;
    bool pruneResources = true;
    bool compressStreams = true;
    std::string namePattern;  // --name; empty: the usual names
    // The many-files warning.
    bool yes = false;
    std::optional<int32_t> warnLimit;
    bool noWarn = false;
    // The password: given on the line, or the file to read it from ("-":
    // standard input); the later of the two options counts.
    std::optional<std::string> password;
    std::optional<std::string> passwordFile;
    // Viewer settings of the output files.
    ViewerSettings viewer;
    // Whether --bookmarks or --options chose the bookmarks (parts keep
    // theirs unless told otherwise).
    bool bookmarksChosen = false;
    // Parts of several pages instead of one file per page.
    std::optional<PartRequest> parts;
    int64_t maxSize = 0;  // --max-size in bytes; 0: none
    std::string maxSizeText;
    IfExists ifExists = IfExists::Rename;
    bool dryRun = false;
};

// Parses argv; returns an empty string, or the reason the arguments are wrong.
std::string ParseArguments(int argc, const char* const* argv, CliOptions& options);

// The --help text, made from the option table; every line fits 80 columns.
std::string UsageText();

}  // namespace brisel
