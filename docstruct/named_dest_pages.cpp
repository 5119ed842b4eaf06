#include "docstruct/named_dest_pages.h"

#include <algorithm>

#include "base/object_map.h"
#include "pdfread/xref_table.h"
#include "docstruct/named_dests.h"
#include "docstruct/object_value.h"
#include "pdfread/lexer.h"

namespace brisel {

namespace {

// The decoded bytes of a string key (p on its "(" or "<").
std::string Decoded(Cursor p, Cursor end, size_t length) {
    std::string bytes(length, '\0');
    Cursor cur = p + 1;
    uint8_t* out = reinterpret_cast<uint8_t*>(bytes.data());
    const int capacity = static_cast<int>(std::min<size_t>(length, 1u << 30));
    const int n = *p == '(' ? ReadLiteralString(cur, end, out, capacity) : ReadHexString(cur, end, out, capacity);
    bytes.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return bytes;
}

}  // namespace

void IndexNamedDests(Job& job, Document& doc) {
    std::vector<NamedDestOfPage>& index = doc.namedDestPages;
    index.clear();
    NamedDests dests;
    ReadNamedDests(job, doc, dests);
    if (dests.strings.empty() && dests.names.empty()) return;

    ObjectMap pageIndex;
    for (size_t k = 0; k < doc.pages.size(); ++k) pageIndex.Insert(doc.pages[k].number, static_cast<int32_t>(k));
    auto add = [&](bool isName, Cursor key, size_t keyLength, const NamedDests::Target& target, std::string order) {
        const int32_t page = target.page > 0 ? pageIndex.Find(target.page) : -1;
        if (page < 0 || !target.view) return;
        index.push_back(NamedDestOfPage{page, isName, key - doc.start(), static_cast<int32_t>(keyLength),
                                        target.view - doc.start(), target.viewLength, std::move(order)});
    };
    for (const auto& [name, value] : dests.strings) {
        NamedDests::Target target;
        if (!ReadNamedValue(doc, value, target)) continue;
        const Cursor open = reinterpret_cast<Cursor>(name.data()) - 1;
        add(false, open, name.size() + 2, target, Decoded(open, doc.end(), name.size()));
    }
    for (const auto& [name, target] : dests.names)
        add(true, reinterpret_cast<Cursor>(name.data()), name.size(), target, std::string(name));
    std::sort(index.begin(), index.end(), [](const NamedDestOfPage& a, const NamedDestOfPage& b) {
        return a.page != b.page ? a.page < b.page : a.isName != b.isName ? a.isName < b.isName : a.order < b.order;
    });
}

std::pair<const NamedDestOfPage*, const NamedDestOfPage*> NamedDestsOfPage(const Document& doc, int32_t page) {
    const std::vector<NamedDestOfPage>& index = doc.namedDestPages;
    auto from = std::lower_bound(index.begin(), index.end(), page,
                                 [](const NamedDestOfPage& e, int32_t p) { return e.page < p; });
    auto to = std::upper_bound(from, index.end(), page, [](int32_t p, const NamedDestOfPage& e) { return p < e.page; });
    return {index.data() + (from - index.begin()), index.data() + (to - index.begin())};
}

}  // namespace brisel
