#include "pdfread/xref_stream.h"

namespace brisel {

// Not yet supported: the image stays as it is and the next read fails.
int NormaliseXrefStreams(Job& job, Block&, const XrefTable&) {
    job.LastError = -1;
    return -1;
}

}  // namespace brisel
