#include "docstruct/struct_tree.h"

#include <utility>
#include <vector>

#include "docstruct/dict_entries.h"
#include "docstruct/document_data.h"
#include "docstruct/flat_tree.h"
#include "pdfread/xref_table.h"
#include "docstruct/object_value.h"

namespace brisel {

namespace {

// The dictionary of object number: [open, close).
bool ObjectDict(const Document& doc, int32_t number, int32_t generation, Cursor& open, Cursor& close) {
    Cursor body = FindObject(doc.table, doc.start(), doc.end(), number, generation).value_or(nullptr);
    if (!body || !StartsWith(body, doc.end(), "<<")) return false;
    open = body;
    close = FindDictEnd(body + 2, doc.end());
    return close != nullptr;
}

// Reads a marked-content or object reference dictionary [open, close) into
// c (kind, page and target); false for any other dictionary.
bool ReadContentReference(Cursor open, Cursor close, StructContent& c) {
    bool marked = false, object = false;
    int32_t stream = 0, target = 0;
    DictEntry e;
    for (Cursor p = open + 2; NextDictEntry(p, close, e);) {
        int32_t number = 0, generation;
        Cursor v = e.value;
        const bool reference = ReadReference(v, e.valueEnd, number, generation);
        if (e.Is("/Type")) {
            marked = ValueIsName(e, "/MCR");
            object = ValueIsName(e, "/OBJR");
        } else if (e.Is("/Pg") && reference) {
            c.page = number;
        } else if (e.Is("/Stm") && reference) {
            stream = number;
        } else if (e.Is("/Obj") && reference) {
            target = number;
        }
    }
    if (!marked && !object) return false;
    c.kind = marked ? StructContent::kMarked : StructContent::kObject;
    c.target = marked ? stream : target;
    return !object || target > 0;
}

// Whether a dictionary is a structure element: a structure type (/S, a
// name) and no other /Type. A tree that names a font or an image as a kid
// must not take it from the pages that draw with it.
bool IsElement(Cursor open, Cursor close) {
    bool type = false;
    DictEntry e;
    for (Cursor p = open + 2; NextDictEntry(p, close, e);) {
        if (e.Is("/S")) type = *e.value == '/';
        else if (e.Is("/Type") && !ValueIsName(e, "/StructElem")) return false;
    }
    return type;
}

struct Kid {
    int32_t number, generation, parent, position;
};

// Notes the kids of the /K value [value, valueEnd) of element parent (-1:
// the root), each with its place: references go on `found` in order, MCIDs
// and direct reference dictionaries become the parent's content.
void ReadKids(const Document& doc, Cursor value, Cursor valueEnd, int32_t parent, StructureIndex& s,
              std::vector<Kid>& found) {
    Cursor p = value, end = valueEnd;
    if (*p == '[') {
        ++p;
        --end;  // its "]"
    }
    for (int32_t position = 0; p < end; ++position) {
        if (!SkipWhiteAndComments(p, end)) break;
        int32_t number, generation;
        Cursor q = p;
        if (IsDigit(*p) && ReadReference(q, end, number, generation)) {
            found.push_back({number, generation, parent, position});
            p = q;
            continue;
        }
        Cursor next = ValueEnd(p, end);
        if (!next || next <= p) break;
        if (parent >= 0) {
            StructContent c;
            c.element = parent;
            c.position = position;
            c.at = p - doc.start();
            c.end = next - doc.start();
            bool content = IsDigit(*p);  // an MCID
            if (AtDict(p, next)) {
                Cursor close = FindDictEnd(p + 2, next);
                content = close && ReadContentReference(p, close, c);
            }
            if (content) {
                if (c.page == 0) c.page = s.elements[static_cast<size_t>(parent)].page;
                s.content.push_back(c);
            }
        }
        p = next;
    }
}

// The content sorted, with the first entry of each page and of each
// element's content of unknown page.
void IndexContent(StructureIndex& s) {
    std::stable_sort(s.content.begin(), s.content.end(), [](const StructContent& a, const StructContent& b) {
        if (a.page != b.page) return a.page < b.page;
        if (a.element != b.element) return a.element < b.element;
        return a.position < b.position;
    });
    for (size_t i = 0; i < s.content.size(); ++i) {
        const StructContent& c = s.content[i];
        const StructContent* before = i ? &s.content[i - 1] : nullptr;
        if (c.page != 0 && (!before || before->page != c.page)) {
            s.contentOfPage.Insert(c.page, static_cast<int32_t>(i));
        } else if (c.page == 0 && (!before || before->page != 0 || before->element != c.element)) {
            s.contentOfElement.Insert(c.element, static_cast<int32_t>(i));
        }
    }
}

}  // namespace

void AnalyzeStructure(Job& job, Document& doc) {
    StructureIndex& s = doc.structure;
    s = StructureIndex();
    Cursor at = CatalogValue(doc, kStructTreeRoot);
    Cursor open, close;
    if (!at || !DictionaryAt(doc, at, open, close)) return;
    {
        Cursor q = at;
        int32_t number, generation;
        if (ReadReference(q, doc.end(), number, generation)) s.rootNumber = number, s.rootGeneration = generation;
    }
    s.root = open - doc.start();

    std::vector<Kid> pending, found;
    DictEntry e;
    Cursor parentTree = nullptr, idTree = nullptr;
    for (Cursor p = open + 2; NextDictEntry(p, close, e);) {
        const int64_t offset = e.value - doc.start();
        if (e.Is("/K")) {
            ReadKids(doc, e.value, e.valueEnd, -1, s, found);
        } else if (e.Is("/ParentTree")) {
            parentTree = e.value;
        } else if (e.Is("/IDTree")) {
            idTree = e.value;
        } else if (e.Is("/ParentTreeNextKey")) {
            Cursor v = e.value;
            int32_t next;
            if (ReadDigits(v, e.valueEnd, next)) s.nextKey = next;
        } else if (e.Is("/RoleMap")) {
            s.roleMap = offset;
        } else if (e.Is("/ClassMap")) {
            s.classMap = offset;
        } else if (e.Is("/Namespaces")) {
            s.namespaces = offset;
        }
    }

    // The elements in tree order: depth first, kids on the stack last first.
    // Each object is met once, so a /K loop ends, and an element two parents
    // list stays under the first.
    ObjectMap met;
    pending.assign(found.rbegin(), found.rend());
    uint32_t steps = 0;
    while (!pending.empty()) {
        if ((++steps & 1023) == 0 && job.Stopped()) return;
        const Kid kid = pending.back();
        pending.pop_back();
        if (met.Find(kid.number) >= 0 || doc.treeObjects.Find(kid.number) >= 0) continue;
        met.Insert(kid.number, 1);
        Cursor eopen, eclose;
        if (!ObjectDict(doc, kid.number, kid.generation, eopen, eclose)) continue;
        StructContent c;
        if (kid.parent >= 0 && ReadContentReference(eopen, eclose, c)) {
            c.element = kid.parent;
            c.position = kid.position;
            c.at = eopen - doc.start();
            c.end = eclose + 2 - doc.start();
            if (c.page == 0) c.page = s.elements[static_cast<size_t>(kid.parent)].page;
            s.content.push_back(c);
            continue;
        }
        if (!IsElement(eopen, eclose)) continue;
        const int32_t index = static_cast<int32_t>(s.elements.size());
        StructElement element;
        element.number = kid.number;
        element.generation = kid.generation;
        element.parent = kid.parent;
        element.position = kid.position;
        element.dict = eopen - doc.start();
        element.dictEnd = eclose - doc.start();
        Cursor kids = nullptr, kidsEnd = nullptr;
        for (Cursor p = eopen + 2; NextDictEntry(p, eclose, e);) {
            if (e.Is("/K")) {
                element.kidsKey = e.key - doc.start();
                element.kidsEnd = e.valueEnd - doc.start();
                kids = e.value;
                kidsEnd = e.valueEnd;
            } else if (e.Is("/Pg")) {
                Cursor v = e.value;
                int32_t number, generation;
                if (ReadReference(v, e.valueEnd, number, generation)) element.page = number;
            }
        }
        s.elements.push_back(element);
        s.elementOf.Insert(kid.number, index);
        found.clear();
        if (kids) ReadKids(doc, kids, kidsEnd, index, s, found);
        for (size_t k = found.size(); k-- > 0;) pending.push_back(found[k]);
    }
    if (s.elements.empty()) return;
    IndexContent(s);

    if (parentTree) {
        FlattenTree(job, doc, parentTree, "/Nums", [&](Cursor key, Cursor value) {
            int32_t number;
            if (!ReadDigits(key, doc.end(), number) || s.parentKeys.Find(number) >= 0) return;
            s.parentKeys.Insert(number, static_cast<int32_t>(s.parentValues.size()));
            s.parentValues.push_back(value - doc.start());
        });
    }
    if (idTree) {
        FlattenTree(job, doc, idTree, "/Names", [&](Cursor key, Cursor value) {
            int32_t number, generation;
            Cursor keyEnd = ValueEnd(key, doc.end());
            const bool string = *key == '(' || (*key == '<' && key[1] != '<');
            if (!keyEnd || !string || !ReadReference(value, doc.end(), number, generation)) return;
            const int32_t index = s.elementOf.Find(number);
            if (index < 0 || s.elements[static_cast<size_t>(index)].id >= 0) return;
            s.elements[static_cast<size_t>(index)].id = static_cast<int32_t>(s.ids.size());
            s.ids.emplace_back(key - doc.start(), static_cast<int32_t>(keyEnd - key));
        });
    }
    s.present = !job.Stopped();
}

}  // namespace brisel
