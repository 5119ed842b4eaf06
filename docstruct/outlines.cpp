#include "docstruct/outlines.h"

namespace brisel {

// Bookmarks are not analysed yet: no page file carries any.
int AnalyzeOutlines(Job&, Document& doc, Cursor, Cursor) {
    doc.outlines.clear();
    return 0;
}

}  // namespace brisel
