#include "security/encrypted_output.h"

#include "security/recode_image.h"

namespace brisel {

int EncryptPageImage(Job& job, Block& image) {
    if (RecodeDocument(job, image, kEncrypt) == 0) return 0;
    // Nothing plain may be saved in place of the encrypted page.
    image.Release();
    if (job.LastError >= 0) job.LastError = -1;
    return job.LastError;
}

}  // namespace brisel
