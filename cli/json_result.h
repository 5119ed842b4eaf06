// The --json result of one input: one JSON object on one line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "split/engine.h"

namespace brisel {

struct InputOutcome {
    std::string file;
    int status = 0;      // the exit status this input alone would give
    int32_t pages = 0;   // the document's page count; 0 when it was not read
    std::vector<std::string> written;
    std::string reason;  // empty when the input was split
    const char* error = nullptr;  // the stable name of the failure; null when none
    struct File {
        std::string path;
        std::vector<int32_t> pages;
        std::string title;
        bool exists = false;
    };
    std::vector<File> plan;  // --dry-run: the files that would be written
    bool dryRun = false;
    std::vector<Warning> warnings;  // the damage the split survived
};

// {"file":...,"status":...,"pages":...,"written":[...],"error":...,"reason":...,
// "warnings":[{"kind":...,"object":...,"offset":...,"pages":[first,last]}]}
// and with a dry run "plan":[{"file":...,"pages":[...],"title":...,"exists":...}];
// pages, error and reason are null when unknown or absent, and so are a
// warning's object, offset and pages. A byte that is
// not part of UTF-8 is written as "\udcXX" (XX its value, the escape that
// Python's surrogateescape reads back), so that the line is valid JSON and
// the exact name can be recovered.
std::string JsonLine(const InputOutcome& outcome);

}  // namespace brisel
