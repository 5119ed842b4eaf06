#include "pagewriter/part_dests.h"

#include <algorithm>
#include <vector>

#include "docstruct/named_dest_pages.h"

namespace brisel {

namespace {

void AppendBytes(std::string& out, const Document& doc, int64_t position, int32_t length) {
    out.append(reinterpret_cast<const char*>(doc.start() + position), static_cast<size_t>(length));
}

}  // namespace

std::string PartNamedDests(const Document& doc, const PageObjectNumbers& pages) {
    if (doc.namedDestPages.empty()) return "";
    std::vector<std::pair<const NamedDestOfPage*, int32_t>> strings, names;
    for (const auto& [pageIndex, object] : pages) {
        auto [from, to] = NamedDestsOfPage(doc, pageIndex);
        for (const NamedDestOfPage* e = from; e != to; ++e) (e->isName ? names : strings).push_back({e, object});
    }
    // A name tree leaf lists its keys in the order of their bytes; a key
    // the input holds twice keeps its first value.
    auto byKey = [](const auto& a, const auto& b) { return a.first->order < b.first->order; };
    auto sameKey = [](const auto& a, const auto& b) { return a.first->order == b.first->order; };
    std::string entries;
    auto append = [&](const std::vector<std::pair<const NamedDestOfPage*, int32_t>>& list) {
        for (const auto& [e, object] : list) {
            if (e->isName) entries += '/';
            AppendBytes(entries, doc, e->key, e->keyLength);
            entries += " [ " + std::to_string(object) + " 0 R ";
            AppendBytes(entries, doc, e->view, e->viewLength);
            entries += "]\n";
        }
    };
    for (auto* list : {&strings, &names}) {
        std::stable_sort(list->begin(), list->end(), byKey);
        list->erase(std::unique(list->begin(), list->end(), sameKey), list->end());
    }
    if (!strings.empty()) {
        entries += "/Names << /Dests << /Names [\n";
        append(strings);
        entries += "] >> >>\n";
    }
    if (!names.empty()) {
        entries += "/Dests <<\n";
        append(names);
        entries += ">>\n";
    }
    return entries;
}

}  // namespace brisel
