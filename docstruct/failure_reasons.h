// The reasons of docstruct's codes.
#pragma once

#include "base/failure_reasons.h"

namespace brisel {

const ReasonText* DocstructFailureReason(JobStep step, int32_t code);

}  // namespace brisel
