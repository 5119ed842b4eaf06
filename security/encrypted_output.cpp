#include "security/encrypted_output.h"

#include "security/recode_image.h"

namespace brisel {

int EncryptPageImage(Job& job, const ReaderRecord& reader, Block& image) {
    // The page image names its own catalog and information dictionary.
    ReaderRecord page;
    if (RecodeDocument(job, reader, image, kEncrypt, page) == 0) return 0;
    // Nothing plain may be saved in place of the encrypted page.
    image.Release();
    if (job.LastError >= 0) job.LastError = -1;
    return job.LastError;
}

}  // namespace brisel
