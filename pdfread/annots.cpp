#include "pdfread/annots.h"

namespace brisel {

int BlankPageAnnots(Job& job, Document&) {
    job.LastError = 0;
    return 0;
}

}  // namespace brisel
