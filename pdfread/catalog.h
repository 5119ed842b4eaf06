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

// The catalog named by /Root: a dictionary of /Type /Catalog, or one that
// holds /Pages whatever its /Type says. false with LastError -111 .. -118.
bool FindCatalog(Job& job, Cursor start, Cursor end, const XrefTable& table, int32_t rootNumber,
                 int32_t rootGeneration, DictObject& catalog);

// The page tree root named by the catalog's /Pages: a dictionary of /Type
// /Pages, or one that holds /Kids. false with LastError -119 .. -130.
bool FindPageTreeRoot(Job& job, Cursor start, Cursor end, const XrefTable& table, const DictObject& catalog,
                      DictObject& root);

}  // namespace brisel
