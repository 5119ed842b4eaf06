#include "docstruct/field_tree.h"

#include <vector>

#include "docstruct/document_data.h"

namespace brisel {

namespace {

// The array at value, or the array object it names: [open, close).
bool ArrayAt(Job& job, const Document& doc, Cursor value, Cursor valueEnd, Cursor& open, Cursor& close) {
    if (*value != '[') {
        int32_t number, generation;
        Cursor q = value;
        if (!ReadReference(q, valueEnd, number, generation)) return false;
        value = FindObject(job, doc.table, doc.start(), doc.end(), number, generation);
        job.LastError = 0;
        if (!value || *value != '[') return false;
        valueEnd = ValueEnd(value, doc.end());
        if (!valueEnd) return false;
    }
    open = value;
    close = valueEnd;
    return true;
}

// Calls take(number) for each reference of the array [open, close), in order.
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

}  // namespace

void ReadFieldTree(Job& job, Document& doc, Cursor fields, Cursor fieldsEnd) {
    FieldTree& tree = doc.data.fieldTree;
    Cursor open, close;
    if (!ArrayAt(job, doc, fields, fieldsEnd, open, close)) return;
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
        Cursor body = FindObject(job, doc.table, doc.start(), doc.end(), field, listed->generation);
        job.LastError = 0;
        Cursor dictOpen, dictClose, value, valueEnd;
        if (!body || !DictionaryAt(job, doc, body, dictOpen, dictClose)) continue;
        if (tree.parent.Find(field) < 0 && !DictValue(job, dictOpen, dictClose, "/Parent", value, valueEnd))
            tree.top.Insert(field, 1);
        if (!DictValue(job, dictOpen, dictClose, "/Kids", value, valueEnd) ||
            !ArrayAt(job, doc, value, valueEnd, open, close))
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
