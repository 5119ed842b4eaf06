#include "pagewriter/form_fields.h"

#include <algorithm>
#include <vector>

#include "docstruct/document_data.h"
#include "docstruct/object_value.h"
#include "pagewriter/document_data.h"

namespace brisel {

namespace {

// Deeper field trees than this are not followed: a /Parent loop ends here.
constexpr int kMaxFieldDepth = 64;

// The form entries a page file carries as they are.
constexpr const char* kCarriedKeys[] = {"/DR", "/DA", "/Q", "/NeedAppearances", "/SigFlags"};

// The references of the array at value (or of the array it names), in order.
std::vector<int32_t> ArrayReferences(Job& job, const Document& doc, Cursor value, Cursor valueEnd) {
    std::vector<int32_t> numbers;
    int32_t number, generation;
    if (*value != '[') {
        Cursor q = value;
        if (!ReadReference(q, valueEnd, number, generation)) return numbers;
        value = FindObject(job, doc.table, doc.start(), doc.end(), number, generation);
        job.LastError = 0;
        if (!value || *value != '[') return numbers;
        valueEnd = ValueEnd(value, doc.end());
        if (!valueEnd) return numbers;
    }
    for (Cursor p = value + 1; p < valueEnd;) {
        if (!SkipWhiteAndComments(p, valueEnd)) break;
        if (IsDigit(*p) && ReadReference(p, valueEnd, number, generation)) {
            numbers.push_back(number);
            continue;
        }
        Cursor next = ValueEnd(p, valueEnd);
        if (!next || next <= p) break;
        p = next;
    }
    return numbers;
}

// The dictionary of object number: [open, close).
bool ObjectDict(Job& job, const Document& doc, int32_t number, Cursor& open, Cursor& close) {
    const XrefEntry* listed = doc.table.Find(number);
    if (!listed || listed->type != 'n') return false;
    Cursor body = FindObject(job, doc.table, doc.start(), doc.end(), number, listed->generation);
    job.LastError = 0;
    if (!body || !StartsWith(body, doc.end(), "<<")) return false;
    open = body;
    close = FindDictEnd(body + 2, doc.end());
    return close != nullptr;
}

bool IsWidget(Job& job, Cursor open, Cursor close) {
    Cursor value, valueEnd;
    return DictValue(job, open, close, "/Subtype", value, valueEnd) && BytesBetween(value, valueEnd) == "/Widget";
}

// The form as far as the pages reach it: every widget on them and its
// ancestors (kept), the top-level fields among them in the order the form
// lists them, and the nodes whose /Kids must be cut.
struct PageFields {
    ObjectMap kept;
    std::vector<int32_t> roots, parents;

    void AddWidget(Job& job, const Document& doc, int32_t widget) {
        int32_t number = widget;
        for (int depth = 0; depth < kMaxFieldDepth; ++depth) {
            if (kept.Find(number) >= 0) return;  // its ancestors are in already
            kept.Insert(number, 1);
            if (number != widget) parents.push_back(number);
            Cursor open, close, value, valueEnd;
            int32_t parent, generation;
            if (!ObjectDict(job, doc, number, open, close) || !DictValue(job, open, close, "/Parent", value, valueEnd) ||
                !ReadReference(value, valueEnd, parent, generation) || doc.treeObjects.Find(parent) >= 0)
                break;
            number = parent;
        }
        roots.push_back(number);
    }
};

// The widgets of page k of the closure.
void CollectWidgets(Job& job, const Document& doc, const PageClosure& closure, int32_t k, PageFields& fields) {
    const PageClosure::Entry& page = closure.entries()[static_cast<size_t>(k)];
    Cursor close = FindDictEnd(page.body + 2, doc.end());
    Cursor value, valueEnd;
    if (!close || !DictValue(job, page.body, close, "/Annots", value, valueEnd)) return;
    for (int32_t annotation : ArrayReferences(job, doc, value, valueEnd)) {
        Cursor open, end;
        if (ObjectDict(job, doc, annotation, open, end) && IsWidget(job, open, end)) fields.AddWidget(job, doc, annotation);
    }
}

// The value of key of the form, with what it reaches walked, copied into entry.
bool CopyFormValue(Job& job, PageClosure& closure, Cursor open, Cursor close, const char* key, std::string& entry) {
    Cursor value, valueEnd;
    return !DictValue(job, open, close, key, value, valueEnd) || AppendWalkedEntry(closure, key, value, valueEnd, entry);
}

}  // namespace

bool GatherFormFields(Job& job, const Document& doc, PageClosure& closure, std::string& entry) {
    Cursor form = CatalogValue(doc, kAcroForm);
    Cursor open, close;
    if (!form || !DictionaryAt(job, doc, form, open, close)) return true;
    PageFields fields;
    for (int32_t k = 0; k < closure.pageCount(); ++k) CollectWidgets(job, doc, closure, k, fields);
    if (fields.roots.empty()) return true;

    // Kids on no page of the file stay out of it.
    for (int32_t parent : fields.parents) {
        Cursor popen, pclose, value, valueEnd;
        if (!ObjectDict(job, doc, parent, popen, pclose) || !DictValue(job, popen, pclose, "/Kids", value, valueEnd))
            continue;
        for (int32_t kid : ArrayReferences(job, doc, value, valueEnd))
            if (fields.kept.Find(kid) < 0) closure.Omit(kid);
    }
    std::vector<int32_t>& roots = fields.roots;
    std::stable_sort(roots.begin(), roots.end(), [&](int32_t a, int32_t b) {
        const uint32_t pa = static_cast<uint32_t>(doc.data.fieldOrder.Find(a));
        const uint32_t pb = static_cast<uint32_t>(doc.data.fieldOrder.Find(b));
        return pa < pb;  // fields the form does not list (-1) go last
    });
    roots.erase(std::unique(roots.begin(), roots.end()), roots.end());

    std::string text = "/AcroForm <<\n/Fields [ ";
    for (int32_t root : roots) {
        const XrefEntry* listed = doc.table.Find(root);
        if (!listed || closure.WalkObject(root, listed->generation) < 0) return false;
        const int32_t index = closure.IndexOf(root);
        if (index >= 0) text += std::to_string(closure.entries()[static_cast<size_t>(index)].newNumber) + " 0 R ";
    }
    text += "]\n";
    for (const char* key : kCarriedKeys)
        if (!CopyFormValue(job, closure, open, close, key, text)) return false;
    // The calculation order, cut to the fields the file holds.
    Cursor value, valueEnd;
    if (DictValue(job, open, close, "/CO", value, valueEnd)) {
        text += "/CO [ ";
        for (int32_t field : ArrayReferences(job, doc, value, valueEnd)) {
            const int32_t index = fields.kept.Find(field) >= 0 ? closure.IndexOf(field) : -1;
            if (index >= 0) text += std::to_string(closure.entries()[static_cast<size_t>(index)].newNumber) + " 0 R ";
        }
        text += "]\n";
    }
    entry += text + ">>\n";
    return true;
}

}  // namespace brisel
