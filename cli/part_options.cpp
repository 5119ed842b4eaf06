#include "cli/part_options.h"

namespace brisel {

namespace {

// A whole number from 1 to 999999999.
bool ReadPositive(const std::string& text, int32_t& value) {
    if (text.empty() || text.size() > 9) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return value > 0;
}

}  // namespace

bool IsPartOption(const std::string& name) {
    return name == "--every" || name == "--at-bookmarks" || name == "--parts";
}

std::string ParsePartOption(const std::string& name, bool hasValue, const std::string& value, CliOptions& options) {
    if (options.parts) return "choose one of --every, --at-bookmarks and --parts";
    PartRequest request;
    if (name == "--every") {
        request.mode = PartMode::Every;
        if (!hasValue || !ReadPositive(value, request.every)) return "--every needs a number of pages from 1 on";
    } else if (name == "--at-bookmarks") {
        // The level is optional, so it only comes after "=".
        request.mode = PartMode::AtBookmarks;
        if (hasValue && !ReadPositive(value, request.level))
            return "--at-bookmarks=LEVEL needs a bookmark level from 1 on (1 is the top level)";
    } else {
        request.mode = PartMode::Ranges;
        if (!hasValue) return PartRangesHelp();
        if (std::string why = ParsePageSelection(value, request.ranges, true); !why.empty())
            return "--parts: " + why + "; " + PartRangesHelp();
    }
    options.parts = request;
    return "";
}

}  // namespace brisel
