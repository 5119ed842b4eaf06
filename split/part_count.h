// How many parts a split at bookmarks gives, asked before the split: the
// desktop program shows it while the user picks a level.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/job.h"

namespace brisel {

// The deepest level counted.
constexpr int32_t kPartLevelsCounted = 20;

// Reads the input as a split would (asking for a password through the
// job's host) and fills partsPerLevel[k] with the number of parts that
// bookmarks of level k + 1 start, for every level the bookmarks have.
// Returns the page count, or -1 (LastError tells why; a stop returns -1
// with job.Stopped()).
int32_t QueryBookmarkParts(Job& job, const std::string& inputPath, std::vector<int32_t>& partsPerLevel);

}  // namespace brisel
