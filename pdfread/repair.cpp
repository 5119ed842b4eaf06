#include "pdfread/repair.h"

namespace brisel {

// Not yet supported: the image stays as it is and the next read fails.
int RebuildClassic(Job& job, Block&) {
    job.LastError = -1;
    return -1;
}

}  // namespace brisel
