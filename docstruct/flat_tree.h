// Number trees (/Nums) and name trees (/Names) read as one flat list of
// pairs, for the analysis that indexes them once per document.
#pragma once

#include <utility>
#include <vector>

#include "base/object_map.h"
#include "docstruct/dict_entries.h"
#include "docstruct/document_data.h"

namespace brisel {

// Number and name trees deeper than this are not followed.
inline constexpr int kMaxTreeDepth = 64;

// Calls each(key, value) for the pairs of a number tree (leaves "/Nums") or
// a name tree ("/Names"), in the tree's order. Every node is read once, so
// a /Kids loop ends.
template <typename Each>
void FlattenTree(Job& job, const Document& doc, Cursor top, const char* leaves, Each each) {
    ObjectMap visited;
    std::vector<std::pair<Cursor, int>> stack{{top, 0}};
    while (!stack.empty()) {
        if (job.Stopped()) return;
        auto [at, depth] = stack.back();
        stack.pop_back();
        Cursor q = at;
        int32_t number, generation;
        if (SkipWhiteAndComments(q, doc.end()) && IsDigit(*q) && ReadReference(q, doc.end(), number, generation)) {
            if (visited.Find(number) >= 0) continue;
            visited.Insert(number, 1);
        }
        Cursor open, close;
        if (depth > kMaxTreeDepth || !DictionaryAt(doc, at, open, close)) continue;
        Cursor kids = nullptr, kidsEnd = nullptr;
        DictEntry e;
        for (Cursor p = open + 2; NextDictEntry(p, close, e);) {
            Cursor array, arrayEnd;
            if (e.Is("/Kids")) {
                if (ArrayAt(doc, e.value, array, arrayEnd)) kids = array, kidsEnd = arrayEnd;
            } else if (e.Is(leaves) && ArrayAt(doc, e.value, array, arrayEnd)) {
                for (Cursor r = array + 1; r < arrayEnd;) {
                    if (!SkipWhiteAndComments(r, arrayEnd) || *r == ']') break;
                    Cursor key = r;
                    r = ValueEnd(r, arrayEnd);
                    if (!r || !SkipWhiteAndComments(r, arrayEnd) || *r == ']') break;
                    Cursor value = r;
                    r = ValueEnd(r, arrayEnd);
                    if (!r) break;
                    each(key, value);
                }
            }
        }
        if (!kids) continue;
        // The kids go on the stack last first, so that they are read in order.
        std::vector<Cursor> found;
        for (Cursor r = kids + 1; r < kidsEnd;) {
            if (!SkipWhiteAndComments(r, kidsEnd) || *r == ']') break;
            found.push_back(r);
            r = ValueEnd(r, kidsEnd);
            if (!r) break;
        }
        for (size_t k = found.size(); k-- > 0;) stack.emplace_back(found[k], depth + 1);
    }
}

}  // namespace brisel
