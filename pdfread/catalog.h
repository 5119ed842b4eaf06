// Finding the catalog and the root of the page tree.
#pragma once

#include <cstdint>

#include "base/job.h"
#include "pdfread/xref_table.h"

namespace brisel {

// A dictionary object located in the image: body is its "<<", end its ">>".
struct DictObject {
    Cursor body = nullptr;
    Cursor end = nullptr;
    int32_t number = 0, generation = 0;
    // The inside of the dictionary, for key lookups.
    Cursor inside() const { return body + 2; }
};

// Codes of FindCatalog, FindPageTreeRoot and CountPages.
enum CatalogCode : int32_t {
    kCatalogNotListed = -111,
    kCatalogNotFound = -112,
    kCatalogNotDict = -113,
    kCatalogNotClosed = -114,
    kCatalogNoType = -115,
    kCatalogEndAfterType = -116,
    kCatalogWrongType = -117,
    kCatalogTypeGlued = -118,
    kPagesNoKey = -119,
    kPagesNoNumber = -120,
    kPagesNoGeneration = -5071,
    kPagesEndBeforeR = -5072,
    kPagesNoR = -5073,
    kPagesNotListed = -124,
    kPagesNotFound = -5074,
    kPagesNotDict = -126,
    kPagesNotClosed = -127,
    kPagesNoType = -128,
    kPagesEndAfterType = -129,
    kPagesWrongType = -130,
    kCountNotNumber = -131,
};

// The catalog named by /Root: a dictionary of /Type /Catalog, or one that
// holds /Pages whatever its /Type says; otherwise a Catalog failure.
Failure FindCatalog(Cursor start, Cursor end, const XrefTable& table, int32_t rootNumber, int32_t rootGeneration,
                    DictObject& catalog);

// The page tree root named by the catalog's /Pages: a dictionary of /Type
// /Pages, or one that holds /Kids; otherwise a Pages failure.
Failure FindPageTreeRoot(Cursor start, Cursor end, const XrefTable& table, const DictObject& catalog,
                         DictObject& root);

}  // namespace brisel
