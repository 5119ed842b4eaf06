#include "docstruct/page_scan.h"

#include "pdfread/xref_table.h"
#include "docstruct/object_value.h"
#include "pdfread/xref_table.h"

namespace brisel {

namespace {

// Ancestors followed from a scanned page: a real tree is a few levels deep,
// and a /Parent chain that loops must end.
constexpr int kMaxAncestors = 64;

// The dictionary of an object listed in use, or false.
bool ReadDict(const Document& doc, int32_t number, Cursor& inside, Cursor& dictEnd) {
    const XrefEntry* entry = doc.table.Find(number);
    if (!entry || entry->type != 'n') return false;
    const Cursor end = doc.end();
    Cursor body = LocateObject(doc.start(), end, entry->offset, number, entry->generation).value_or(nullptr);
    if (!body || !AtDict(body, end)) return false;
    dictEnd = FindDictEnd(body + 2, end);
    if (!dictEnd) return false;
    inside = body + 2;
    // A stream is never a page, whatever its dictionary holds.
    Cursor after = dictEnd + 2;
    return !(SkipWhiteAndComments(after, end) && StartsWith(after, end, "stream"));
}

// The object number a key's reference names, or 0.
int32_t ReferenceOf(const char* key, size_t keyLength, Cursor inside, Cursor dictEnd) {
    Cursor at = FindKey(key, inside, dictEnd);
    if (!at) return 0;
    at += keyLength;
    int32_t number = 0, generation = 0;
    const bool ok = ReadReferenceValue(at, dictEnd, number, generation) == PartFault::None;
    return ok && number > 0 ? number : 0;
}

bool IsPagesNode(const Document& doc, int32_t number) {
    Cursor inside, dictEnd;
    if (number <= 0 || !ReadDict(doc, number, inside, dictEnd)) return false;
    const NodeType type = ReadNodeType(inside, dictEnd);
    return type == NodeType::Pages ||
           (type == NodeType::None && FindKey("/Kids", inside, dictEnd) && FindKey("/Count", inside, dictEnd));
}

// Whether the object's dictionary is a page the scan takes; parent gets its
// /Parent's number (0 none).
bool IsScannedPage(const Document& doc, Cursor inside, Cursor dictEnd, int32_t& parent) {
    const NodeType type = ReadNodeType(inside, dictEnd);
    if (type == NodeType::Pages || FindKey("/Kids", inside, dictEnd)) return false;
    parent = ReferenceOf("/Parent", 7, inside, dictEnd);
    if (type == NodeType::Page) return true;
    if (IsPagesNode(doc, parent)) return true;
    return type == NodeType::None && FindKey("/Contents", inside, dictEnd) &&
           FindKey("/MediaBox", inside, dictEnd);
}

// The attributes the page inherits: for each it lacks, the nearest
// ancestor that holds it. The ancestors join the tree's objects, so that no
// page file copies them.
void Inherit(Document& doc, Cursor inside, Cursor dictEnd, int32_t parent, PageEntry& page) {
    int32_t own = 0;
    for (int i = 0; i < 4; ++i)
        if (FindKey(kInheritKeys[i], inside, dictEnd)) own |= 1 << i;
    for (int level = 0; parent > 0 && level < kMaxAncestors; ++level) {
        Cursor nodeInside, nodeEnd;
        if (!ReadDict(doc, parent, nodeInside, nodeEnd)) break;
        doc.treeObjects.Insert(parent, 1);
        for (int i = 0; i < 4; ++i) {
            const int32_t bit = 1 << i;
            if ((own | page.mask) & bit) continue;
            if (FindKey(kInheritKeys[i], nodeInside, nodeEnd)) {
                page.mask |= bit;
                page.holders[i] = parent;
            }
        }
        parent = ReferenceOf("/Parent", 7, nodeInside, nodeEnd);
    }
}

}  // namespace

NodeType ReadNodeType(Cursor inside, Cursor dictEnd) {
    Cursor key = FindKey("/Type", inside, dictEnd);
    if (!key) return NodeType::None;
    Cursor p = key + 5;
    if (!SkipWhiteAndComments(p, dictEnd) || !StartsWith(p, dictEnd, "/Page")) return NodeType::Other;
    p += 5;
    NodeType type = NodeType::Page;
    if (p < dictEnd && *p == 's') {
        type = NodeType::Pages;
        ++p;
    }
    return p >= dictEnd || IsNumberTerminator(*p) ? type : NodeType::Other;
}

bool LooksLikePage(Cursor inside, Cursor dictEnd) {
    if (FindKey("/Kids", inside, dictEnd)) return false;
    return FindKey("/Parent", inside, dictEnd) || FindKey("/Contents", inside, dictEnd) ||
           FindKey("/MediaBox", inside, dictEnd);
}

int32_t AddScannedPages(Job& job, Document& doc) {
    ObjectMap known;
    for (const PageEntry& page : doc.pages) known.Insert(page.number, 1);
    int32_t added = 0;
    for (const XrefEntry& entry : doc.table.entries()) {
        if (job.Stopped()) break;
        if (entry.type != 'n' || entry.number <= 0 || known.Find(entry.number) >= 0) continue;
        // A kid the walk met and refused (a node, or an object of another
        // kind) is not taken again.
        if (doc.treeObjects.Find(entry.number) >= 0) continue;
        Cursor inside, dictEnd;
        if (!ReadDict(doc, entry.number, inside, dictEnd)) continue;
        int32_t parent = 0;
        if (!IsScannedPage(doc, inside, dictEnd, parent)) continue;
        PageEntry page;
        page.number = entry.number;
        page.generation = entry.generation;
        page.scanned = true;
        Inherit(doc, inside, dictEnd, parent, page);
        doc.pages.push_back(page);
        doc.warnings.Add(WarningKind::ScannedPage, entry.number, entry.offset);
        known.Insert(entry.number, 1);
        ++added;
    }
    // Every page is one of the tree's objects: no page file copies another.
    for (const PageEntry& page : doc.pages) doc.treeObjects.Insert(page.number, 1);
    return added;
}

}  // namespace brisel
