// Repair of a file whose cross-reference data cannot be read.
#pragma once

#include "base/block.h"
#include "base/failure.h"
#include "base/job.h"

namespace brisel {

// RebuildClassic's codes.
enum RepairCode : int32_t {
    kRepairNoImage = -5061,
    kRepairCannotGrow = -2,
    kRepairNoObject = -4,
    kRepairFirstUnended = -5,  // the first object has no "endobj"
    kRepairNoMemory = -5062,
    kRepairSectionFull = -5063,
    // The file is encrypted but the repair found no key: its trailer, with
    // the identifier the key is made from, is lost (KeyLost), or its
    // encryption dictionary is (EncryptionLost).
    kRepairKeyLost = -5064,
    kRepairEncryptionLost = -5065,
};

// Rebuilds the image from the object headers found by scanning its bytes,
// with a fresh classic cross-reference section and trailer: the image is
// replaced, or a RepairCode says why not. The job's stop request ends the
// scan.
Failure RebuildClassic(const Job& job, Block& image);

// RebuildClassic that leaves the image as it is and puts the rebuilt image
// into rebuilt (which may be the image itself): no copy of the image is
// needed to keep it until the caller has read the result.
Failure RebuildClassicFrom(const Job& job, const Block& image, Block& rebuilt);

}  // namespace brisel
