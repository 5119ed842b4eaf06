// Short reasons for a failed job, from the step it failed in and its code,
// in English and Japanese; the front ends add them to the result message.
#pragma once

#include <cstdint>
#include <string>

#include "base/job.h"

namespace brisel {

// The reason for (step, code), or the code in digits when the table has
// none for it.
std::string FailureReason(Language language, JobStep step, int32_t code);

}  // namespace brisel
