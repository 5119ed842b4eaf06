#include "docstruct/field_tree.h"

#include <vector>

#include "docstruct/document_data.h"
#include "pdfread/xref_table.h"

namespace brisel {

void ReadFieldTree(Document& doc, Cursor fields) {
    FieldTree& tree = doc.data.fieldTree;
    Cursor open, close;
    if (!ArrayAt(doc, fields, open, close)) return;
    ObjectMap seen;
    std::vector<int32_t> stack;
    EachReference(open, close, [&](int32_t number) {
        if (seen.Find(number) < 0) {
            seen.Insert(number, 1);
            stack.push_back(number);
        }
    });
    while (!stack.empty()) {
        const int32_t field = stack.back();
        stack.pop_back();
        const XrefEntry* listed = doc.table.Find(field);
        if (!listed || listed->type != 'n') continue;
        Cursor body = FindObject(doc.table, doc.start(), doc.end(), field, listed->generation).value_or(nullptr);
        Cursor dictOpen, dictClose, value, valueEnd;
        if (!body || !DictionaryAt(doc, body, dictOpen, dictClose)) continue;
        if (tree.parent.Find(field) < 0 && !DictValue(dictOpen, dictClose, "/Parent", value, valueEnd))
            tree.top.Insert(field, 1);
        if (!DictValue(dictOpen, dictClose, "/Kids", value, valueEnd) ||
            !ArrayAt(doc, value, open, close))
            continue;
        if (*value == '[') {
            tree.kids.Insert(field, static_cast<int32_t>(tree.kidsArrays.size()));
            tree.kidsArrays.emplace_back(open - doc.start(), close - doc.start());
        }
        int32_t place = 0;
        EachReference(open, close, [&](int32_t kid) {
            if (seen.Find(kid) >= 0) return;
            seen.Insert(kid, 1);
            tree.parent.Insert(kid, field);
            tree.place.Insert(kid, place++);
            stack.push_back(kid);
        });
    }
}

}  // namespace brisel
