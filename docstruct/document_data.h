// What the catalog holds for the pages besides the page tree: the form, the
// structure tree, language, metadata, output intents and page labels. The
// analysis notes where each value stands, once per document; the page
// writer takes from them what belongs to its pages.
#pragma once

#include <cstdint>

#include "base/job.h"
#include "docstruct/document.h"
#include "pdfread/lexer.h"

namespace brisel {

// Notes the positions of doc.data's catalog values (inside the catalog
// dictionary [from, to)) and the order of the form's top-level fields.
void AnalyzeDocumentData(Job& job, Document& doc, Cursor from, Cursor to);

// The byte after the one value that starts at p (white space and comments
// before it skipped): a reference, a number, a name, a string, an array or a
// dictionary. null when it does not end before end.
Cursor ValueEnd(Cursor p, Cursor end);

// The dictionary that the value at p is or names: [open, close) runs from
// its "<<" to its ">>". false when it is neither.
bool DictionaryAt(const Document& doc, Cursor p, Cursor& open, Cursor& close);

// The array that the value at p is or names: open on its "[", end the byte
// after its "]". false when it is neither.
bool ArrayAt(const Document& doc, Cursor p, Cursor& open, Cursor& end);

// Calls take(number) for each reference of the array [open, close), in
// order; other values are stepped over.
template <typename Take>
void EachReference(Cursor open, Cursor close, Take take) {
    for (Cursor p = open + 1; p < close;) {
        int32_t number, generation;
        if (!SkipWhiteAndComments(p, close)) break;
        if (IsDigit(*p) && ReadReference(p, close, number, generation)) {
            take(number);
            continue;
        }
        Cursor next = ValueEnd(p, close);
        if (!next || next <= p) break;
        p = next;
    }
}

// The value of key inside the dictionary [open, close): [value, valueEnd).
// false when absent or unreadable.
bool DictValue(Cursor open, Cursor close, const char* key, Cursor& value, Cursor& valueEnd);

// The position of a catalog value, or null.
inline Cursor CatalogValue(const Document& doc, CatalogKey key) {
    const int64_t at = doc.data.catalog[key];
    return at >= 0 && at < static_cast<int64_t>(doc.image.size()) ? doc.start() + at : nullptr;
}

}  // namespace brisel
