#include "pagewriter/shared_resources.h"

#include <algorithm>

#include "docstruct/dict_entries.h"
#include "docstruct/document_data.h"
#include "pdfread/xref_table.h"
#include "pagewriter/resource_names.h"

namespace brisel {

namespace {

// The value of /Resources in the dictionary of object number, or null.
Cursor ResourcesOf(const Document& doc, int32_t number, int32_t generation) {
    Cursor body = FindObject(doc.table, doc.start(), doc.end(), number, generation).value_or(nullptr);
    Cursor open, close, value, valueEnd;
    const bool found = body && DictionaryAt(doc, body, open, close) &&
                       DictValue(open, close, "/Resources", value, valueEnd);
    return found ? value : nullptr;
}

int32_t ReferenceAt(Cursor p, Cursor end) {
    int32_t number, generation;
    if (SkipWhiteAndComments(p, end) && IsDigit(*p) && ReadReference(p, end, number, generation)) return number;
    return 0;
}

// Counts one more use of key; the uses so far.
int32_t Count(ObjectMap& counts, int32_t key) {
    const int32_t seen = counts.Find(key);
    const int32_t uses = seen < 0 ? 1 : seen + 1;
    counts.Insert(key, uses);
    return uses;
}

}  // namespace

Cursor PageResources(const Document& doc, const PageEntry& page, bool& shared) {
    shared = false;
    Cursor value;
    int32_t holder = 0;
    if (page.mask & 1) {
        holder = page.holders[0];
        const XrefEntry* listed = doc.table.Find(holder);
        value = listed ? ResourcesOf(doc, holder, listed->generation) : nullptr;
    } else {
        value = ResourcesOf(doc, page.number, page.generation);
    }
    if (!value) return nullptr;
    const int32_t number = ReferenceAt(value, doc.end());
    if (number > 0) shared = IsSharedResource(doc, number);
    else if (holder > 0) shared = doc.sharedResources.Find(-holder) > 1;
    return value;
}

void FindSharedResources(Job& job, Document& doc) {
    ObjectMap& counts = doc.sharedResources;
    doc.resourcesShared = doc.drawnResourcesShared = false;
    // The category dictionaries named by each distinct resource dictionary.
    ObjectMap categoryOwners;
    // true when some category dictionary became shared.
    auto countCategories = [&](Cursor resources) {
        Cursor open, close;
        if (!DictionaryAt(doc, resources, open, close)) return false;
        bool shared = false;
        DictEntry e;
        for (Cursor p = open + 2; NextDictEntry(p, close, e);) {
            if (!IsPrunedCategory(e)) continue;
            const int32_t number = ReferenceAt(e.value, e.valueEnd);
            if (number > 0 && Count(categoryOwners, number) == 2) {
                counts.Insert(number, std::max<int32_t>(2, counts.Find(number)));
                doc.resourcesShared = shared = true;
            }
        }
        return shared;
    };
    // The distinct resource dictionaries met so far, whose forms, patterns
    // and Type 3 fonts are looked at next.
    std::vector<Cursor> distinct;
    for (const PageEntry& page : doc.pages) {
        if (job.Stopped()) return;
        Cursor value;
        int32_t key = 0;
        if (page.mask & 1) {
            const XrefEntry* listed = doc.table.Find(page.holders[0]);
            value = listed ? ResourcesOf(doc, page.holders[0], listed->generation) : nullptr;
            key = -page.holders[0];
        } else {
            value = ResourcesOf(doc, page.number, page.generation);
        }
        if (!value) continue;
        if (const int32_t number = ReferenceAt(value, doc.end()); number > 0) key = number;
        // Each distinct dictionary's categories count once.
        if (key != 0 && Count(counts, key) > 1) {
            doc.resourcesShared = true;
            continue;
        }
        countCategories(value);
        distinct.push_back(value);
    }
    // The resources of what those dictionaries draw, and of what that
    // draws in turn, each object looked at once: a dictionary (or category
    // dictionary) that two forms name is shared as well.
    // A page's dictionary that its forms use again (writers often give
    // them the page's) is still the page's; one that forms alone hold is
    // shared once two of them name it.
    ObjectMap visited, formOwners;
    for (size_t i = 0; i < distinct.size(); ++i) {
        if (job.Stopped()) return;
        Cursor open, close;
        if (!DictionaryAt(doc, distinct[i], open, close)) continue;
        DictEntry category;
        for (Cursor p = open + 2; NextDictEntry(p, close, category);) {
            if (!category.Is("/XObject") && !category.Is("/Pattern") && !category.Is("/Font")) continue;
            Cursor catOpen, catClose;
            if (!DictionaryAt(doc, category.value, catOpen, catClose)) continue;
            DictEntry e;
            for (Cursor q = catOpen + 2; NextDictEntry(q, catClose, e);) {
                const int32_t number = ReferenceAt(e.value, e.valueEnd);
                if (number <= 0 || visited.Find(number) >= 0) continue;
                visited.Insert(number, 1);
                Cursor itemOpen, itemClose, value, valueEnd;
                if (!DictionaryAt(doc, e.value, itemOpen, itemClose) ||
                    !DictValue(itemOpen, itemClose, "/Resources", value, valueEnd))
                    continue;
                if (const int32_t held = ReferenceAt(value, doc.end()); held > 0) {
                    if (formOwners.Find(held) < 0 && counts.Find(held) > 0) continue;
                    if (Count(formOwners, held) > 1) {
                        counts.Insert(held, 2);
                        doc.resourcesShared = doc.drawnResourcesShared = true;
                        continue;
                    }
                }
                if (countCategories(value)) doc.drawnResourcesShared = true;
                distinct.push_back(value);
            }
        }
    }
    // The form's default resources hold the fonts its fields' text is drawn
    // in by name (/DA), which no content names: whatever they share with
    // the pages stays whole.
    const int64_t formResources = doc.data.form[kFormResources];
    if (formResources >= 0 && formResources < static_cast<int64_t>(doc.image.size())) {
        const Cursor value = doc.start() + formResources;
        if (const int32_t number = ReferenceAt(value, doc.end()); number > 0) counts.Insert(number, 0);
        Cursor open, close;
        if (DictionaryAt(doc, value, open, close)) {
            DictEntry e;
            for (Cursor p = open + 2; NextDictEntry(p, close, e);)
                if (const int32_t number = ReferenceAt(e.value, e.valueEnd); number > 0) counts.Insert(number, 0);
        }
    }
}

}  // namespace brisel
