#include "security/unlock.h"

namespace brisel {

// Encrypted files are not yet supported: the job fails cleanly.
int UnlockDocument(Job& job, const std::string&, Block&, XrefTable&) {
    job.LastError = -1;
    return -1;
}

}  // namespace brisel
