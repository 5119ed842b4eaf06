// Encrypting a page file of an encrypted input with the input's keys,
// passwords and permissions.
#pragma once

#include "base/block.h"
#include "base/job.h"

namespace brisel {

// Rewrites the plain page image in place: every string and stream encrypted
// with the file key of job.Security, an encryption dictionary appended and the
// trailer naming it and the document identifier. 0 on success; otherwise a
// negative code (also in LastError) and the image is left unusable.
int EncryptPageImage(Job& job, Block& image);

}  // namespace brisel
