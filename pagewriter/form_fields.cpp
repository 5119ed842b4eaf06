#include "pagewriter/form_fields.h"

#include <algorithm>
#include <vector>

#include "docstruct/document_data.h"
#include "pdfread/xref_table.h"
#include "docstruct/object_value.h"
#include "pagewriter/document_data.h"

namespace brisel {

namespace {

// Deeper field trees than this are not followed: a /Parent loop ends here.
constexpr int kMaxFieldDepth = 64;

// The references of the array at value (or of the array it names), in order.
std::vector<int32_t> ArrayReferences(const Document& doc, Cursor value) {
    std::vector<int32_t> numbers;
    Cursor open, close;
    if (ArrayAt(doc, value, open, close)) EachReference(open, close, [&](int32_t n) { numbers.push_back(n); });
    return numbers;
}

// The dictionary of object number: [open, close).
bool ObjectDict(const Document& doc, int32_t number, Cursor& open, Cursor& close) {
    const XrefEntry* listed = doc.table.Find(number);
    if (!listed || listed->type != 'n') return false;
    Cursor body = FindObject(doc.table, doc.start(), doc.end(), number, listed->generation).value_or(nullptr);
    if (!body || !StartsWith(body, doc.end(), "<<")) return false;
    open = body;
    close = FindDictEnd(body + 2, doc.end());
    return close != nullptr;
}

bool IsWidget(Cursor open, Cursor close) {
    Cursor value, valueEnd;
    return DictValue(open, close, "/Subtype", value, valueEnd) && BytesBetween(value, valueEnd) == "/Widget";
}

// The form as far as the pages reach it: every widget on them and its
// ancestors (kept), the top-level fields among them in the order the form
// lists them, and the nodes whose /Kids must be cut.
struct PageFields {
    ObjectMap kept;
    std::vector<int32_t> all, roots, parents;
    // (parent, place in its /Kids, field) for each kept field that the
    // form's tree places under its parent.
    struct Link {
        int32_t parent, place, field;
    };
    std::vector<Link> links;

    void AddWidget(const Document& doc, int32_t widget) {
        const FieldTree& tree = doc.data.fieldTree;
        int32_t number = widget;
        for (int depth = 0; depth < kMaxFieldDepth; ++depth) {
            if (kept.Find(number) >= 0) return;  // its ancestors are in already
            kept.Insert(number, 1);
            all.push_back(number);
            if (number != widget) parents.push_back(number);
            // The tree read with the document knows the parent of a field
            // the form lists; any other field names its own.
            int32_t parent = tree.parent.Find(number);
            if (parent >= 0) {
                links.push_back({parent, tree.place.Find(number), number});
            } else if (tree.top.Find(number) >= 0) {
                break;
            } else {
                Cursor open, close, value, valueEnd;
                int32_t generation;
                if (!ObjectDict(doc, number, open, close) ||
                    !DictValue(open, close, "/Parent", value, valueEnd) ||
                    !ReadReference(value, valueEnd, parent, generation))
                    break;
            }
            if (doc.treeObjects.Find(parent) >= 0) break;
            number = parent;
        }
        roots.push_back(number);
    }
};

// Cuts the /Kids of each parent written inside it to the kept kids, without
// reading the others. The parents done are marked in cut.
void CutKnownKids(const Document& doc, PageClosure& closure, PageFields& fields, ObjectMap& cut) {
    const FieldTree& tree = doc.data.fieldTree;
    std::sort(fields.links.begin(), fields.links.end(), [](const PageFields::Link& a, const PageFields::Link& b) {
        return a.parent != b.parent ? a.parent < b.parent : a.place < b.place;
    });
    for (size_t i = 0; i < fields.links.size();) {
        const int32_t parent = fields.links[i].parent;
        std::vector<std::pair<int32_t, int32_t>> kids;
        for (; i < fields.links.size() && fields.links[i].parent == parent; ++i) {
            const XrefEntry* listed = doc.table.Find(fields.links[i].field);
            if (listed) kids.emplace_back(fields.links[i].field, listed->generation);
        }
        const int32_t array = tree.kids.Find(parent);
        if (array < 0) continue;
        const auto& [from, to] = tree.kidsArrays[static_cast<size_t>(array)];
        if (closure.CutArray(parent, doc.start() + from, doc.start() + to, std::move(kids))) cut.Insert(parent, 1);
    }
}

// The widgets of page k of the closure.
void CollectWidgets(const Document& doc, const PageClosure& closure, int32_t k, PageFields& fields) {
    const PageClosure::Entry& page = closure.entries()[static_cast<size_t>(k)];
    Cursor close = FindDictEnd(page.body + 2, doc.end());
    Cursor value, valueEnd;
    if (!close || !DictValue(page.body, close, "/Annots", value, valueEnd)) return;
    for (int32_t annotation : ArrayReferences(doc, value)) {
        Cursor open, end;
        if (ObjectDict(doc, annotation, open, end) && IsWidget(open, end)) fields.AddWidget(doc, annotation);
    }
}

// The numbers of the file's objects for the fields, sorted by their place in
// order (fields order does not hold go last), each once.
std::string SortedReferences(const PageClosure& closure, std::vector<int32_t> fields, const ObjectMap& order) {
    std::stable_sort(fields.begin(), fields.end(), [&](int32_t a, int32_t b) {
        return static_cast<uint32_t>(order.Find(a)) < static_cast<uint32_t>(order.Find(b));
    });
    fields.erase(std::unique(fields.begin(), fields.end()), fields.end());
    std::string text;
    for (int32_t field : fields) {
        const int32_t index = closure.IndexOf(field);
        if (index >= 0) text += std::to_string(closure.entries()[static_cast<size_t>(index)].newNumber) + " 0 R ";
    }
    return text;
}

}  // namespace

bool GatherFormFields(const Document& doc, PageClosure& closure, std::string& entry) {
    if (!doc.data.hasForm) return true;
    PageFields fields;
    for (int32_t k = 0; k < closure.pageCount(); ++k) CollectWidgets(doc, closure, k, fields);
    if (fields.roots.empty()) return true;

    // Kids on no page of the file stay out of it: each parent's /Kids is
    // cut to the kept ones, or, where the form's tree does not hold it,
    // the others are read and kept out.
    ObjectMap cut;
    CutKnownKids(doc, closure, fields, cut);
    for (int32_t parent : fields.parents) {
        if (cut.Find(parent) >= 0) continue;
        Cursor popen, pclose, value, valueEnd;
        if (!ObjectDict(doc, parent, popen, pclose) || !DictValue(popen, pclose, "/Kids", value, valueEnd))
            continue;
        for (int32_t kid : ArrayReferences(doc, value))
            if (fields.kept.Find(kid) < 0) closure.Omit(kid);
    }
    for (int32_t root : fields.roots) {
        const XrefEntry* listed = doc.table.Find(root);
        if (!listed || closure.WalkObject(root, listed->generation) < 0) return false;
    }
    std::string text = "/AcroForm <<\n/Fields [ " + SortedReferences(closure, fields.roots, doc.data.fieldOrder) + "]\n";
    for (int k = 0; k < kFormKeyCount; ++k) {
        const int64_t at = doc.data.form[k];
        Cursor value = at >= 0 && at < static_cast<int64_t>(doc.image.size()) ? doc.start() + at : nullptr;
        Cursor valueEnd = value ? ValueEnd(value, doc.end()) : nullptr;
        if (valueEnd && !AppendWalkedEntry(closure, kFormKeyNames[k], value, valueEnd, text)) return false;
    }
    // The calculation order, cut to the fields the file holds.
    std::vector<int32_t> calculated;
    for (int32_t field : fields.all)
        if (doc.data.calculationOrder.Find(field) >= 0) calculated.push_back(field);
    if (!calculated.empty()) text += "/CO [ " + SortedReferences(closure, calculated, doc.data.calculationOrder) + "]\n";
    entry += text + ">>\n";
    return true;
}

}  // namespace brisel
