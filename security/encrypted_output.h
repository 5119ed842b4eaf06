// Encrypting a page file of an encrypted input with the input's keys,
// passwords and permissions.
#pragma once

#include "base/block.h"
#include "base/job.h"
#include "pagewriter/page_encryption.h"

namespace brisel {

// Rewrites the plain page image in place: every string and stream encrypted
// with the file key of job.Security, an encryption dictionary appended and the
// trailer naming it and the document identifier. 0 on success; otherwise a
// negative code (also in LastError) and the image is left unusable.
int EncryptPageImage(Job& job, Block& image);

// The page writer's encryption with the input's keys in job.Security.
class InputKeyEncryption : public PageEncryption {
public:
    int EncryptPage(Job& job, Block& image) override { return EncryptPageImage(job, image); }
};

}  // namespace brisel
