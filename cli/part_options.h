// The options that write parts of several pages: --every N,
// --at-bookmarks[=LEVEL] and --parts RANGES.
#pragma once

#include <string>

#include "cli/options.h"

namespace brisel {

// Whether name is one of the part options.
bool IsPartOption(const std::string& name);

// Reads one part option and its value (hasValue: one was given) into
// options.parts. Returns an empty string, or the reason the option is wrong.
std::string ParsePartOption(const std::string& name, bool hasValue, const std::string& value, CliOptions& options);

}  // namespace brisel
