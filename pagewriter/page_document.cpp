#include "pagewriter/page_document.h"

namespace brisel {

// Until the page writer lands every page fails.
int BuildPageDocument(Job& job, int32_t, const Document&, Block&) {
    job.LastError = -315;
    return 0;
}

int WritePageDocument(Job& job, int32_t pageIndex, const Document& doc) {
    Block out;
    return BuildPageDocument(job, pageIndex, doc, out);
}

}  // namespace brisel
