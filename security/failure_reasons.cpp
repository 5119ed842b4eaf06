#include "security/failure_reasons.h"

#include "pagewriter/failure_reasons.h"
#include "security/recode_object.h"

namespace brisel {

const ReasonText* SecurityFailureReason(JobStep step, int32_t code) {
    // The page file's header has no token after it.
    if (step == JobStep::Write && code == kRecodeHeaderEnd) return &kReasonNoPdfHeader;
    return nullptr;
}

}  // namespace brisel
