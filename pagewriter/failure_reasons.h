// The reasons of pagewriter's codes.
#pragma once

#include "base/failure_reasons.h"

namespace brisel {

// Shared with the encryption of page files, which reads the same header.
extern const ReasonText kReasonNoPdfHeader;

const ReasonText* PagewriterFailureReason(JobStep step, int32_t code);

}  // namespace brisel
