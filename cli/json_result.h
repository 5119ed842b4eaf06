// The --json result of one input: one JSON object on one line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/warnings.h"

namespace brisel {

struct InputOutcome {
    std::string file;
    int status = 0;      // the exit status this input alone would give
    int32_t pages = 0;   // the document's page count; 0 when it was not read
    std::vector<std::string> written;
    std::string reason;  // empty when the input was split
    std::vector<Warning> warnings;  // the damage the split survived
};

// {"file":...,"status":...,"pages":...,"written":[...],"reason":...,
// "warnings":[{"kind":...,"object":...,"offset":...,"pages":[first,last]}]};
// pages and reason are null when unknown or absent, and so are a warning's
// object, offset and pages. Bytes that are not UTF-8
// become U+FFFD, so that the line is always valid JSON.
std::string JsonLine(const InputOutcome& outcome);

}  // namespace brisel
