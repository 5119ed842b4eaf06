// The page-range choice: reading a page field, and the page count query that
// runs the front half of a split job.
#pragma once

#include <cstdint>
#include <string>

#include "base/job.h"

namespace brisel {

// Reads a page field: spaces around it are ignored, empty means 0, otherwise
// it must be decimal digits with a value above 0. false for any other text.
bool ReadPageField(const std::string& text, int32_t& value);

// The number of pages the page tree walk finds, or -1 on any failure.
int32_t QueryPageCount(Job& job, const std::string& inputPath);

}  // namespace brisel
