// Short reasons for a failed job, from the step it failed in and its code,
// in English and Japanese; the front ends add them to the result message.
#pragma once

#include <cstdint>
#include <string>

#include "base/failure_reasons.h"
#include "base/job.h"

namespace brisel {

// The reason for (step, code): that of the layer that owns the code, else
// the step's own, else the code in digits.
std::string FailureReason(Language language, JobStep step, int32_t code);

}  // namespace brisel
