// Failure codes: the negative values a step's Failure carries, and the job
// ends with in job.LastError. Each failure has its own code, and each layer
// declares its codes in its headers as enums whose names end in "Code"
// (scripts/check-failure-codes finds them there and refuses a value given
// twice) and says their reasons itself.
//
// The codes of the format's own readers and writers keep their historic
// numbers, from -1 to -1624, wherever no other failure had the same one. A
// failure that needs a number of its own takes it from its layer's range:
//
//   layer       range
//   pdfread     -5001 to -5999
//   docstruct   -6001 to -6999
//   pagewriter  -7001 to -7999
//   security    -8001 to -8999
//   split       -9001 to -9999, besides -2000, -2001 and -4000
#pragma once

#include <cstdint>

namespace brisel {

// The first code of each layer's range; its codes count down from there.
constexpr int32_t kPdfreadCodes = -5000;
constexpr int32_t kDocstructCodes = -6000;
constexpr int32_t kPagewriterCodes = -7000;
constexpr int32_t kSecurityCodes = -8000;
constexpr int32_t kSplitCodes = -9000;

}  // namespace brisel
