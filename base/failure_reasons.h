// Short reasons for a failed job, in English and Japanese. Each layer says
// the reasons of its own codes (see base/failure_codes.h); the split job asks
// them in turn and the front ends add the answer to the result message.
#pragma once

#include <cstdint>
#include <string>

#include "base/job.h"

namespace brisel {

struct ReasonText {
    const char* english;
    const char* japanese;
};

// One layer's answer for a code met in a step: the reason when the code is
// one of the layer's own and the layer has a reason for it in that step,
// else null.
using ReasonLookup = const ReasonText* (*)(JobStep step, int32_t code);

// The text in the language.
std::string ReasonIn(Language language, const ReasonText& reason);

// The reason of a code nobody has a text for: the code in digits.
std::string CodeAsReason(Language language, int32_t code);

}  // namespace brisel
