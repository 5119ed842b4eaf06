// The options that write parts of several pages: --every N,
// --at-bookmarks[=LEVEL] and --parts RANGES.
#pragma once

#include <functional>
#include <string>

#include "cli/options.h"

namespace brisel {

// Whether name is one of the part options.
bool IsPartOption(const std::string& name);

// Reads one part option into options.parts. value is the text after "=";
// needValue fills it from the next argument when there was none (false
// when there is no next argument). Returns an empty string, or the reason
// the option is wrong.
std::string ParsePartOption(const std::string& name, bool hasValue, const std::string& value,
                            const std::function<bool()>& needValue, CliOptions& options);

}  // namespace brisel
