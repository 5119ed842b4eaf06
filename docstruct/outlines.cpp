#include "docstruct/outlines.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "base/job_host.h"
#include "base/object_map.h"
#include "base/texts.h"
#include "docstruct/job_reads.h"
#include "docstruct/named_dests.h"
#include "docstruct/object_value.h"

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
int ReadItem(Job& job, const Document& doc, Cursor p, int32_t notDict, Item& item) {
    if (!AtDict(p, doc.end())) return Fail(job, notDict, -1);
    item.close = FindDictEnd(p + 2, doc.end());
    if (!item.close) return Fail(job, kItemNotClosed, -1);
    item.inside = p + 2;
    return 0;
}

// The value of a key of an item, white space and comments skipped; null when
// the key is absent.
Cursor ValueOf(const Item& item, const char* key, Cursor end) {
    Cursor at = FindKey(key, item.inside, item.close);
    if (!at) return nullptr;
    Cursor p = at + std::strlen(key);
    return SkipWhiteAndComments(p, end) ? p : nullptr;
}

// Follows /First or /Next of an item: 1 and the linked item, 0 when there is
// none, -1 with LastError. A /First that does not resolve fails; a /Next that
// does not resolve ends the sibling chain. An item reached twice means the
// links lead back to an earlier item: the link is cut there (0), the items
// before it kept, and the cut counted in loops.
int Follow(Job& job, const Document& doc, const Item& from, const char* key, ObjectMap& seen, Item& to,
           WarningList& loops) {
    const bool first = key[1] == 'F';
    Cursor p = ValueOf(from, key, doc.end());
    if (!p || StartsWith(p, doc.end(), "null")) return 0;
    int32_t number = 0;
    int resolved = ResolveValue(job, doc, p, kItemCodes, &number);
    if (resolved <= 0) {
        if (!first) {
            job.LastError = 0;
            return 0;
        }
        return resolved < 0 ? -1 : Fail(job, kValueMalformed, -1);
    }
    if (seen.Find(number) >= 0) {
        loops.Add(WarningKind::BookmarkLoop, number);
        return 0;
    }
    seen.Insert(number, 1);
    return ReadItem(job, doc, p, kItemNotDict, to) < 0 ? -1 : 1;
}

// Every outline dictionary in depth-first document order, the /Outlines
// dictionary first at depth 0. The /Outlines dictionary's own /Next is never
// followed.
int WalkOutlineTree(Job& job, const Document& doc, const Item& root, std::vector<Item>& items, WarningList& loops) {
    std::vector<Item> stack;
    ObjectMap seen;
    Item cur = root;
    items.push_back(cur);
    for (;;) {
        if (job.Stopped()) {
            job.LastError = 0;
            return -1;
        }
        Item next;
        int r = Follow(job, doc, cur, "/First", seen, next, loops);
        if (r < 0) return -1;
        if (r > 0) {
            stack.push_back(cur);
        } else {
            for (;;) {
                if (stack.empty()) return 0;
                r = Follow(job, doc, cur, "/Next", seen, next, loops);
                if (r < 0) return -1;
                if (r > 0) break;
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
// resolved when it is a reference. 1 with p on it, 0 for none, -1 with
// LastError.
int FindDestination(Job& job, const Document& doc, const Item& item, Cursor& p) {
    const Cursor end = doc.end();
    if (Cursor action = ValueOf(item, "/A", end)) {
        if (ResolveValue(job, doc, action, kItemCodes) < 0) return -1;
        if (!AtDict(action, end)) return 0;
        Item dict;
        dict.inside = action + 2;
        dict.close = FindDictEnd(dict.inside, end);
        if (!dict.close || !FindKey("/GoTo", dict.inside, dict.close)) return 0;
        p = ValueOf(dict, "/D", end);
    } else {
        p = ValueOf(item, "/Dest", end);
    }
    if (!p) return 0;
    return ResolveValue(job, doc, p, kItemCodes) < 0 ? -1 : 1;
}

// Maps a destination (p on its first byte) to a page index and view.
void ResolveDestination(Job& job, const Document& doc, Cursor p, const NamedDests& dests,
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
        if (found == dests.strings.end() || !ReadNamedValue(job, doc, found->second, target)) return;
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
int ReadCount(Job& job, const Item& item, Cursor end, int32_t& count) {
    count = 0;
    Cursor p = ValueOf(item, "/Count", end);
    if (!p) return 0;
    bool negative = *p == '-';
    if (negative) ++p;
    int32_t value = ReadInt(p, end).value_or(-1);
    if (value < 0) return Fail(job, kItemBadCount, -1);
    count = negative ? -value : value;
    return 0;
}

// /F: a number, or a reference to an object holding one; below 1 gives 0.
int ReadFlags(Job& job, const Document& doc, const Item& item, int32_t& flags) {
    const Cursor end = doc.end();
    flags = 0;
    Cursor p = ValueOf(item, "/F", end);
    if (!p) return 0;
    int32_t value, generation;
    const PartFault fault = ReadReferenceValue(p, end, value, generation);
    job.LastError = 0;
    // A number alone is the value; two numbers make a reference.
    if (fault != PartFault::Number && fault != PartFault::Generation) {
        if (fault != PartFault::None) return Fail(job, kValueNoR, -1);
        if (value < 1) return Fail(job, kValueMalformed, -1);
        Cursor body = FindObject(job, doc.table, doc.start(), end, value, generation);
        if (!body) return Fail(job, kValueNotFound, -1);
        value = ReadInt(body, end).value_or(-1);
        if (value < 0) return Fail(job, kValueMalformed, -1);
    }
    flags = value >= 1 ? value : 0;
    return 0;
}

// The title and colour of an item: positions of their bytes in the image.
int ReadTitleAndColour(Job& job, const Document& doc, const Item& item, OutlineRecord& record) {
    const Cursor end = doc.end();
    if (Cursor title = ValueOf(item, "/Title", end)) {
        if (ResolveValue(job, doc, title, kItemCodes) < 0) return -1;
        if (Cursor titleEnd = StringEnd(title, end)) {
            record.titlePosition = title - doc.start();
            record.titleLength = static_cast<int32_t>(titleEnd - title);
        }
    }
    if (Cursor colour = ValueOf(item, "/C", end)) {
        if (ResolveValue(job, doc, colour, kItemCodes) < 0) return -1;
        if (*colour == '[') {
            Cursor p = colour + 1;
            int64_t length = SkipWhiteAndComments(p, end) ? ViewLength(p, end) : -1;
            if (length >= 0) {
                record.colourPosition = p - doc.start();
                record.colourLength = static_cast<int32_t>(length);
            }
        }
    }
    return 0;
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

int Analyze(Job& job, Document& doc, Cursor catalog, Cursor catalogEnd) {
    const Cursor end = doc.end();
    Cursor p = ValueOf({catalog, catalogEnd, 0}, "/Outlines", end);
    if (!p || StartsWith(p, end, "null")) return 0;
    if (ResolveValue(job, doc, p, kItemCodes) < 0) return -1;
    Item root;
    if (ReadItem(job, doc, p, kOutlinesNotDict, root) < 0) return -1;
    std::vector<Item> items;
    if (WalkOutlineTree(job, doc, root, items, doc.warnings) < 0) return -1;

    // Which tables the destinations need.
    bool needTree = false, needDests = false;
    for (size_t i = 1; i < items.size(); ++i) {
        Cursor dest;
        int r = FindDestination(job, doc, items[i], dest);
        if (r < 0) return -1;
        if (r == 0) continue;
        needTree |= *dest == '(' || *dest == '<';
        needDests |= *dest == '/';
    }
    NamedDests dests;
    if (needTree && ReadDestsNameTree(job, doc, catalog, catalogEnd, dests) < 0) return -1;
    if (needDests && ReadDestsDictionary(job, doc, catalog, catalogEnd, dests) < 0) return -1;

    // Later lines of the page list win, as in a table indexed by number.
    ObjectMap pageIndex;
    for (size_t k = 0; k < doc.pages.size(); ++k) pageIndex.Insert(doc.pages[k].number, static_cast<int32_t>(k));

    doc.outlines.reserve(items.size());
    for (const Item& item : items) {
        OutlineRecord record;
        record.depth = item.depth;
        if (ReadCount(job, item, end, record.count) < 0) return -1;
        if (item.depth > 0) {
            if (ReadTitleAndColour(job, doc, item, record) < 0) return -1;
            if (ReadFlags(job, doc, item, record.flags) < 0) return -1;
            Cursor dest;
            int r = FindDestination(job, doc, item, dest);
            if (r < 0) return -1;
            if (r > 0) ResolveDestination(job, doc, dest, dests, pageIndex, record);
        }
        doc.outlines.push_back(record);
    }
    IndexByPage(doc);
    return 0;
}

}  // namespace

int AnalyzeOutlines(Job& job, Document& doc, Cursor catalog, Cursor catalogEnd) {
    doc.outlines.clear();
    doc.outlinePages = OutlinePageIndex();
    doc.warnings.ClearKind(WarningKind::BookmarkLoop);
    job.StatusText = Tr(job.app.language, Text::AnalyzingOutline);
    job.host.Progress(job, 15);
    int r;
    try {
        r = Analyze(job, doc, catalog, catalogEnd);
    } catch (const std::bad_alloc&) {
        r = Fail(job, kOutlineLoop, -1);
    }
    if (r < 0) {
        doc.outlines.clear();
        doc.outlinePages = OutlinePageIndex();
        return -1;
    }
    job.LastError = 0;
    return 0;
}

}  // namespace brisel
