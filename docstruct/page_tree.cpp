#include "docstruct/page_tree.h"

#include "pdfread/read_xref.h"

namespace brisel {

// Until the page tree walk lands: the page count alone.
int32_t AnalyzeDocument(Job& job, Document& doc) {
    return CountPages(job, doc.start(), doc.end(), doc.rootNumber, doc.rootGeneration, doc.table);
}

}  // namespace brisel
