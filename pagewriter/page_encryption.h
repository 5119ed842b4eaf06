// How the page writer encrypts the page files of an encrypted input. The
// security handler implements it; the writer holds no keys.
#pragma once

#include "base/block.h"
#include "base/job.h"

namespace brisel {

class PageEncryption {
public:
    virtual ~PageEncryption() = default;
    // Rewrites the plain page image in place, encrypted with the input's
    // keys. 0, or a negative code (also in LastError) with the image
    // released.
    virtual int EncryptPage(Job& job, Block& image) = 0;
};

}  // namespace brisel
