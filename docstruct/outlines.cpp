#include "docstruct/outlines.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "base/job_host.h"
#include "base/object_map.h"
#include "base/texts.h"
#include "docstruct/named_dests.h"
#include "docstruct/object_value.h"
#include "pdfread/xref_table.h"

namespace brisel {

namespace {

constexpr ValueCodes kItemCodes{kValueEnd, kValueMalformed, kValueNoR, kValueNotFound};

// An outline dictionary: [inside, close) with close on its ">>".
struct Item {
    Cursor inside = nullptr;
    Cursor close = nullptr;
    int32_t depth = 0;
};

// The dictionary at p; notDict is the code for any other value.
Failure ReadItem(const Document& doc, Cursor p, int32_t notDict, Item& item) {
    if (!AtDict(p, doc.end())) return Failure(notDict).At(-1, p - doc.start());
    item.close = FindDictEnd(p + 2, doc.end());
    if (!item.close) return Failure(kItemNotClosed).At(-1, p - doc.start());
    item.inside = p + 2;
    return {};
}

// The value of a key of an item, white space and comments skipped; null when
// the key is absent.
Cursor ValueOf(const Item& item, const char* key, Cursor end) {
    Cursor at = FindKey(key, item.inside, item.close);
    if (!at) return nullptr;
    Cursor p = at + std::strlen(key);
    return SkipWhiteAndComments(p, end) ? p : nullptr;
}

// Follows /First or /Next of an item: true and the linked item, false when
// there is none, or the failure. A /First that does not resolve fails; a /Next that
// does not resolve ends the sibling chain. An item reached twice means the
// links lead back to an earlier item: the link is cut there (0), the items
// before it kept, and the cut counted in loops.
Result<bool> Follow(const Document& doc, const Item& from, const char* key, ObjectMap& seen, Item& to,
                    WarningList& loops) {
    const bool first = key[1] == 'F';
    Cursor p = ValueOf(from, key, doc.end());
    if (!p || StartsWith(p, doc.end(), "null")) return false;
    int32_t number = 0;
    const Result<bool> resolved = ResolveValue(doc, p, kItemCodes, &number);
    if (!resolved || !*resolved) {
        if (!first) return false;
        return resolved ? Failure(kValueMalformed).At(-1, p - doc.start()) : resolved.failure();
    }
    if (seen.Find(number) >= 0) {
        loops.Add(WarningKind::BookmarkLoop, number);
        return false;
    }
    seen.Insert(number, 1);
    if (Failure f = ReadItem(doc, p, kItemNotDict, to)) return f.At(number, p - doc.start());
    return true;
}

// Every outline dictionary in depth-first document order, the /Outlines
// dictionary first at depth 0. The /Outlines dictionary's own /Next is never
// followed.
Failure WalkOutlineTree(Job& job, const Document& doc, const Item& root, std::vector<Item>& items,
                        WarningList& loops) {
    std::vector<Item> stack;
    ObjectMap seen;
    Item cur = root;
    items.push_back(cur);
    for (;;) {
        if (job.Stopped()) return Failure(job.StopCode);
        Item next;
        Result<bool> r = Follow(doc, cur, "/First", seen, next, loops);
        if (!r) return r.failure();
        if (*r) {
            stack.push_back(cur);
        } else {
            for (;;) {
                if (stack.empty()) return {};
                r = Follow(doc, cur, "/Next", seen, next, loops);
                if (!r) return r.failure();
                if (*r) break;
                cur = stack.back();
                stack.pop_back();
            }
        }
        next.depth = static_cast<int32_t>(stack.size());
        cur = next;
        items.push_back(cur);
    }
}

// The destination of an item: the /D of a GoTo action in /A, else /Dest;
// resolved when it is a reference. true with p on it, false for none, or the
// failure.
Result<bool> FindDestination(const Document& doc, const Item& item, Cursor& p) {
    const Cursor end = doc.end();
    if (Cursor action = ValueOf(item, "/A", end)) {
        if (Result<bool> r = ResolveValue(doc, action, kItemCodes); !r) return r.failure();
        if (!AtDict(action, end)) return false;
        Item dict;
        dict.inside = action + 2;
        dict.close = FindDictEnd(dict.inside, end);
        if (!dict.close || !FindKey("/GoTo", dict.inside, dict.close)) return false;
        p = ValueOf(dict, "/D", end);
    } else {
        p = ValueOf(item, "/Dest", end);
    }
    if (!p) return false;
    if (Result<bool> r = ResolveValue(doc, p, kItemCodes); !r) return r.failure();
    return true;
}

// Maps a destination (p on its first byte) to a page index and view.
void ResolveDestination(const Document& doc, Cursor p, const NamedDests& dests,
                        const ObjectMap& pageIndex, OutlineRecord& record) {
    const Cursor end = doc.end();
    NamedDests::Target target;
    if (*p == '[') {
        ExplicitDest dest;
        if (!ReadExplicitDest(p, end, dest)) return;
        target = {dest.page, dest.view, dest.viewLength};
    } else if (*p == '(' || *p == '<') {
        Cursor nameEnd = StringEnd(p, end);
        if (!nameEnd) return;
        auto found = dests.strings.find(BytesBetween(p + 1, nameEnd - 1));
        if (found == dests.strings.end() || !ReadNamedValue(doc, found->second, target)) return;
    } else if (*p == '/') {
        Cursor nameEnd = p + 1;
        while (nameEnd < end && !IsNumberTerminator(*nameEnd)) ++nameEnd;
        auto found = dests.names.find(BytesBetween(p + 1, nameEnd));
        if (found == dests.names.end()) return;
        target = found->second;
    } else {
        return;
    }
    int32_t index = target.page > 0 ? pageIndex.Find(target.page) : -1;
    if (index < 0) return;
    record.pageIndex = index;
    record.viewPosition = target.view - doc.start();
    record.viewLength = target.viewLength;
}

// /Count: a "-" before the number negates it; absent gives 0.
Failure ReadCount(const Item& item, Cursor end, int32_t& count) {
    count = 0;
    Cursor p = ValueOf(item, "/Count", end);
    if (!p) return {};
    bool negative = *p == '-';
    if (negative) ++p;
    int32_t value = ReadInt(p, end).value_or(-1);
    if (value < 0) return Failure(kItemBadCount);
    count = negative ? -value : value;
    return {};
}

// /F: a number, or a reference to an object holding one; below 1 gives 0.
Failure ReadFlags(const Document& doc, const Item& item, int32_t& flags) {
    const Cursor end = doc.end();
    flags = 0;
    Cursor p = ValueOf(item, "/F", end);
    if (!p) return {};
    const int64_t at = p - doc.start();
    int32_t value, generation;
    const PartFault fault = ReadReferenceValue(p, end, value, generation);
    // A number alone is the value; two numbers make a reference.
    if (fault != PartFault::Number && fault != PartFault::Generation) {
        if (fault != PartFault::None) return Failure(kValueNoR).At(-1, at);
        if (value < 1) return Failure(kValueMalformed).At(-1, at);
        const Result<Cursor> body = FindObject(doc.table, doc.start(), end, value, generation);
        if (!body) return Failure(kValueNotFound, value, at);
        Cursor q = *body;
        const int32_t number = value;
        value = ReadInt(q, end).value_or(-1);
        if (value < 0) return Failure(kValueMalformed, number, *body - doc.start());
    }
    flags = value >= 1 ? value : 0;
    return {};
}

// The title and colour of an item: positions of their bytes in the image.
Failure ReadTitleAndColour(const Document& doc, const Item& item, OutlineRecord& record) {
    const Cursor end = doc.end();
    if (Cursor title = ValueOf(item, "/Title", end)) {
        if (Result<bool> r = ResolveValue(doc, title, kItemCodes); !r) return r.failure();
        if (Cursor titleEnd = StringEnd(title, end)) {
            record.titlePosition = title - doc.start();
            record.titleLength = static_cast<int32_t>(titleEnd - title);
        }
    }
    if (Cursor colour = ValueOf(item, "/C", end)) {
        if (Result<bool> r = ResolveValue(doc, colour, kItemCodes); !r) return r.failure();
        if (*colour == '[') {
            Cursor p = colour + 1;
            int64_t length = SkipWhiteAndComments(p, end) ? ViewLength(p, end) : -1;
            if (length >= 0) {
                record.colourPosition = p - doc.start();
                record.colourLength = static_cast<int32_t>(length);
            }
        }
    }
    return {};
}

// Indexes the records by the page they lead to (record 0 excluded).
void IndexByPage(Document& doc) {
    OutlinePageIndex& index = doc.outlinePages;
    index.first.assign(doc.pages.size() + 1, 0);
    for (size_t i = 1; i < doc.outlines.size(); ++i)
        if (doc.outlines[i].pageIndex >= 0) ++index.first[static_cast<size_t>(doc.outlines[i].pageIndex) + 1];
    for (size_t p = 1; p < index.first.size(); ++p) index.first[p] += index.first[p - 1];
    index.records.assign(static_cast<size_t>(index.first.back()), 0);
    std::vector<int32_t> next(index.first.begin(), index.first.end() - 1);
    for (size_t i = 1; i < doc.outlines.size(); ++i) {
        int32_t page = doc.outlines[i].pageIndex;
        if (page >= 0) index.records[static_cast<size_t>(next[static_cast<size_t>(page)]++)] = static_cast<int32_t>(i);
    }
    // Each record's parent: the latest record one level up (depths grow by
    // one from parent to child, as the walk gives them).
    index.parent.assign(doc.outlines.size(), 0);
    std::vector<int32_t> path{0};
    for (size_t i = 1; i < doc.outlines.size(); ++i) {
        const size_t depth = static_cast<size_t>(std::max(1, doc.outlines[i].depth));
        if (path.size() > depth) path.resize(depth);
        index.parent[i] = path.back();
        path.push_back(static_cast<int32_t>(i));
    }
}

Failure Analyze(Job& job, Document& doc, Cursor catalog, Cursor catalogEnd) {
    const Cursor end = doc.end();
    Cursor p = ValueOf({catalog, catalogEnd, 0}, "/Outlines", end);
    if (!p || StartsWith(p, end, "null")) return {};
    if (Result<bool> r = ResolveValue(doc, p, kItemCodes); !r) return r.failure();
    Item root;
    if (Failure f = ReadItem(doc, p, kOutlinesNotDict, root)) return f;
    std::vector<Item> items;
    if (Failure f = WalkOutlineTree(job, doc, root, items, doc.warnings)) return f;

    // Which tables the destinations need.
    bool needTree = false, needDests = false;
    for (size_t i = 1; i < items.size(); ++i) {
        Cursor dest;
        const Result<bool> r = FindDestination(doc, items[i], dest);
        if (!r) return r.failure();
        if (!*r) continue;
        needTree |= *dest == '(' || *dest == '<';
        needDests |= *dest == '/';
    }
    NamedDests dests;
    if (Failure f = needTree ? ReadDestsNameTree(job, doc, catalog, catalogEnd, dests) : Failure()) return f;
    if (Failure f = needDests ? ReadDestsDictionary(doc, catalog, catalogEnd, dests) : Failure()) return f;

    // Later lines of the page list win, as in a table indexed by number.
    ObjectMap pageIndex;
    for (size_t k = 0; k < doc.pages.size(); ++k) pageIndex.Insert(doc.pages[k].number, static_cast<int32_t>(k));

    doc.outlines.reserve(items.size());
    for (const Item& item : items) {
        OutlineRecord record;
        record.depth = item.depth;
        if (Failure f = ReadCount(item, end, record.count)) return f.At(-1, item.inside - 2 - doc.start());
        if (item.depth > 0) {
            if (Failure f = ReadTitleAndColour(doc, item, record)) return f;
            if (Failure f = ReadFlags(doc, item, record.flags)) return f;
            Cursor dest;
            const Result<bool> r = FindDestination(doc, item, dest);
            if (!r) return r.failure();
            if (*r) ResolveDestination(doc, dest, dests, pageIndex, record);
        }
        doc.outlines.push_back(record);
    }
    IndexByPage(doc);
    return {};
}

}  // namespace

Failure AnalyzeOutlines(Job& job, Document& doc, Cursor catalog, Cursor catalogEnd) {
    doc.outlines.clear();
    doc.outlinePages = OutlinePageIndex();
    doc.warnings.ClearKind(WarningKind::BookmarkLoop);
    job.StatusText = Tr(job.app.language, Text::AnalyzingOutline);
    job.host.Progress(job, 15);
    Failure failure;
    try {
        failure = Analyze(job, doc, catalog, catalogEnd);
    } catch (const std::bad_alloc&) {
        failure = Failure(kOutlineLoop);
    }
    if (failure) {
        doc.outlines.clear();
        doc.outlinePages = OutlinePageIndex();
    }
    return failure;
}

}  // namespace brisel
