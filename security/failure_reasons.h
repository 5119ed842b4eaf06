// The reasons of security's codes.
#pragma once

#include "base/failure_reasons.h"

namespace brisel {

const ReasonText* SecurityFailureReason(JobStep step, int32_t code);

}  // namespace brisel
