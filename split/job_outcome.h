// What a split job's result means to a caller: the command line's exit
// status and the reason on one line, as --json and the library report them.
#pragma once

#include <string>

#include "base/job.h"

namespace brisel {

// The command line's exit status for a split job's result: the result
// itself for the codes a person can act on, 130 for a stop, else 1.
int JobExitStatus(int result);

// The reason a job failed, on one line; empty when it was done or when the
// host has already told why. range: the job wrote a page range or parts.
std::string JobReason(const Job& job, int result, bool range);

// The stable English name of a failure, for scripts (the JSON "error"
// key): "page-range", "damaged", ...; null when the job was done.
const char* JobErrorKey(const Job& job, int result);

// A text of the desktop program's message boxes on one line: its line
// breaks become ": ", or a space before a parenthesis.
std::string OneLine(const std::string& text);

}  // namespace brisel
