#include "security/encrypted_output.h"

namespace brisel {

// Encrypted inputs are not yet supported: no page file is written.
int EncryptPageImage(Job& job, Block&) {
    job.LastError = -1;
    return -1;
}

}  // namespace brisel
