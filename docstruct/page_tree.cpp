#include "docstruct/page_tree.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "base/object_map.h"
#include "docstruct/direct_kids.h"
#include "docstruct/document_data.h"
#include "docstruct/object_value.h"
#include "docstruct/outlines.h"
#include "docstruct/page_scan.h"
#include "docstruct/viewer_settings.h"
#include "pdfread/catalog.h"
#include "pdfread/xref_table.h"

namespace brisel {

namespace {

// The attributes set on the path from the root, and the nearest node that
// carries each.
struct InheritState {
    int32_t mask = 0;
    int32_t holders[4] = {0, 0, 0, 0};
};


// What one node of the page tree says: a page, or an intermediate node
// with the first byte inside its /Kids; and which inherited attributes it
// sets itself.
struct NodeInfo {
    int64_t kids = 0;  // 0 for a page, -1 for a node the file does not hold
    int32_t present = 0;  // inherit bits of the keys the node holds
};

// Whether a kid's number names an object the file does not hold: not
// listed at all, or listed by a table whose object was never found. A
// number listed free is not damage and stays a fault of the tree.
bool NotHeld(const Document& doc, int32_t number) {
    const XrefEntry* listed = doc.table.Find(number);
    return !listed || (listed->type != 'n' && doc.reader.IsMissing(number));
}

// A /Kids array that lost its "[" (damage that other readers step over):
// at p one reference or more, then a "]" that closes nothing, all before
// the dictionary's end. p, where the kids begin, or null when the value is
// anything else.
Cursor KidsWithoutOpening(Cursor p, Cursor dictEnd) {
    Cursor q = p;
    int count = 0;
    while (SkipWhiteAndComments(q, dictEnd) && IsDigit(*q)) {
        int32_t number, generation;
        if (ReadReferenceValue(q, dictEnd, number, generation) != PartFault::None) break;
        ++count;
    }
    return count > 0 && q < dictEnd && *q == ']' ? p : nullptr;
}

// Reads one node of the page tree into info.
Failure ReadPageNode(const Document& doc, int64_t offset, int32_t number, int32_t generation, NodeInfo& info) {
    const Cursor end = doc.end();
    auto failAt = [&](int32_t code) { return Failure(code, number, offset); };
    const Cursor body = LocateObject(doc.start(), end, offset, number, generation).value_or(nullptr);
    if (!body) return failAt(kNodeNotFound);
    if (!StartsWith(body, end, "<<")) return failAt(kNodeNotDict);
    Cursor dictEnd = FindDictEnd(body + 2, end);
    if (!dictEnd) return failAt(kNodeNotClosed);
    // A node without /Type plays the role its keys give it: with /Kids an
    // intermediate node, otherwise a page. So does a node whose /Type is
    // damaged, when it still looks like a page or holds /Kids.
    const NodeType type = ReadNodeType(body + 2, dictEnd);
    bool page = type == NodeType::Page;
    if (type == NodeType::None) {
        page = !FindKey("/Kids", body + 2, dictEnd);
    } else if (type == NodeType::Other) {
        page = LooksLikePage(body + 2, dictEnd);
        if (!page && !FindKey("/Kids", body + 2, dictEnd)) return failAt(kNodeNotPage);
    }
    info.present = 0;
    for (int i = 0; i < 4; ++i)
        if (FindKey(kInheritKeys[i], body + 2, dictEnd)) info.present |= 1 << i;
    info.kids = 0;
    if (page) return {};
    Cursor kids = FindKey("/Kids", body + 2, dictEnd);
    if (!kids) return failAt(kNodeNoKids);
    Cursor p = kids + 5;
    if (!SkipWhiteAndComments(p, end)) return failAt(kNodeEndAfterKids);
    Cursor first = *p == '[' ? p + 1 : KidsWithoutOpening(p, dictEnd);
    if (!first) return failAt(kNodeKidsNotArray);
    info.kids = first - doc.start();
    return {};
}

// The cursor inside the root's /Kids, which may be an array or a reference
// to an array object.
Result<Cursor> RootKids(const Document& doc, const DictObject& root) {
    const Cursor end = doc.end();
    const int64_t rootAt = root.inside() - doc.start();
    Cursor key = FindKey("/Kids", root.inside(), root.end);
    if (!key) return Failure(kRootNoKids, root.number, rootAt);
    Cursor p = key + 5;
    if (!SkipWhiteAndComments(p, end)) return Failure(kRootEndAfterKids, root.number, rootAt);
    if (*p == '[') return p + 1;
    int32_t number, generation;
    Cursor value = p;
    if (ReadReferenceValue(p, end, number, generation) == PartFault::None) {
        const Cursor body = FindObject(doc.table, doc.start(), end, number, generation).value_or(nullptr);
        if (body && *body == '[') return body + 1;
    }
    if (Cursor first = KidsWithoutOpening(value, root.end)) return first;
    return Failure(kRootKidsNotArray, root.number, rootAt);
}

// Walks the tree depth first from the root's /Kids into doc.pages.
// A page dictionary written into /Kids itself is stepped over and its node
// listed in direct, once, for LiftDirectKids.
Failure WalkPageTree(Job& job, Document& doc, Cursor kids, int32_t rootNumber, InheritState state,
                 std::vector<int32_t>& direct) {
    struct Frame {
        Cursor resume;
        InheritState state;
        int32_t node;
    };
    int32_t node = rootNumber;
    const Cursor end = doc.end();
    std::vector<Frame> stack;
    // A tree reads each node once; more reads than the file has objects can
    // only come from /Kids that lead back to an ancestor or share subtrees.
    size_t budget = doc.table.size() + 1;
    // Each node is read once: a node reached again (a shared subtree, or
    // /Kids leading back) costs no second scan of its dictionary, which
    // keeps the walk linear in the file.
    std::vector<NodeInfo> nodes;
    ObjectMap nodeIndex;
    Cursor cur = kids;
    while (!job.Stopped()) {
        int32_t number = 0, generation = 0;
        Result<bool> kid = false;
        if (SkipWhiteAndComments(cur, end) && AtDict(cur, end)) {
            if (StepOverDict(cur, end)) {
                if (direct.empty() || direct.back() != node) direct.push_back(node);
                continue;
            }
            kid = Failure(kKidsNotClosed);
        } else {
            kid = NextKid(cur, end, {kKidsEndReached, kKidsNotClosed}, !stack.empty(), number, generation);
        }
        // Damaged bytes among the kids end this node's list: the pages
        // before them count, and those after them are lost to the walk.
        if (!kid) {
            doc.warnings.Add(WarningKind::LostTreeNode, node, cur - doc.start());
            kid = false;
        }
        if (!*kid) {
            if (stack.empty()) return {};
            cur = stack.back().resume;
            state = stack.back().state;
            node = stack.back().node;
            stack.pop_back();
            continue;
        }
        const bool notHeld = NotHeld(doc, number);
        const int64_t offset = LookupXref(doc.table, number, generation).value_or(-1);
        doc.treeObjects.Insert(number, 1);
        // The pages under a node the file does not hold cannot be known:
        // the walk goes on with the pages it can reach, and the job reports
        // the loss. Such a kid (or one listed free) is never entered, so it
        // needs no budget.
        if (notHeld || offset < 0) {
            doc.warnings.Add(WarningKind::LostTreeNode, number);
            continue;
        }
        if (budget-- == 0) return Failure(kStackFull, number, offset);
        int32_t known = nodeIndex.Find(number);
        if (known < 0) {
            NodeInfo info;
            // A kid that cannot be read, or is neither a page nor a node,
            // is skipped; the other kids still count.
            if (ReadPageNode(doc, offset, number, generation, info)) info.kids = -1;
            known = static_cast<int32_t>(nodes.size());
            nodes.push_back(info);
            nodeIndex.Insert(number, known);
        }
        const NodeInfo info = nodes[static_cast<size_t>(known)];
        if (info.kids < 0) {
            doc.warnings.Add(WarningKind::LostTreeNode, number, offset);
            continue;
        }
        if (info.kids > 0) {
            stack.push_back({cur, state, node});
            node = number;
            for (int i = 0; i < 4; ++i) {
                if (info.present & (1 << i)) {
                    state.mask |= 1 << i;
                    state.holders[i] = number;
                }
            }
            cur = doc.start() + info.kids;
            continue;
        }
        const int32_t pageMask = state.mask & ~info.present;
        PageEntry page;
        page.number = number;
        page.generation = generation;
        page.mask = pageMask;
        if (pageMask != 0)
            for (int i = 0; i < 4; ++i) page.holders[i] = state.holders[i];
        doc.pages.push_back(page);
    }
    return Failure(job.StopCode);
}

}  // namespace

Result<int32_t> AnalyzeDocument(Job& job, Document& doc, bool scan) {
    doc.pages.clear();
    doc.warnings.ClearKind(WarningKind::LostTreeNode);
    doc.warnings.ClearKind(WarningKind::ScannedPage);
    doc.declaredPages = 0;
    doc.scannedPages = 0;
    doc.treeDamaged = false;
    doc.treeObjects = ObjectMap();
    doc.ocProperties = -1;
    DictObject catalog, root;
    if (Failure f = FindCatalog(doc.start(), doc.end(), doc.table, doc.reader.rootNumber, doc.reader.rootGeneration,
                                catalog))
        return f;
    if (Failure f = ReadViewerSettings(doc, catalog.inside(), catalog.end, job.Viewer)) return f;
    const Failure noRoot = FindPageTreeRoot(doc.start(), doc.end(), doc.table, catalog, root);
    if (noRoot && !scan) return noRoot;

    if (Cursor key = FindKey("/OCProperties", catalog.inside(), catalog.end)) {
        Cursor value = key + 13;
        if (SkipWhiteAndComments(value, catalog.end)) doc.ocProperties = value - doc.start();
    }
    AnalyzeDocumentData(job, doc, catalog.inside(), catalog.end);
    Cursor kids = nullptr;
    InheritState state;
    if (!noRoot) {
        // The root's /Count only sizes the first allocation: the page count
        // is what the walk finds, since a wrong /Count would leave pages out
        // or make up pages that are not there.
        if (Cursor key = FindKey("/Count", root.inside(), root.end)) {
            Cursor p = key + 6;
            const int32_t count = ReadInt(p, doc.end()).value_or(-1);
            if (count > 0) doc.declaredPages = count;
            if (count > 0) doc.pages.reserve(std::min<size_t>(static_cast<size_t>(count), doc.table.size() + 1));
        }
        doc.treeObjects.Insert(root.number, 1);
        for (int i = 0; i < 4; ++i) {
            state.holders[i] = root.number;
            if (FindKey(kInheritKeys[i], root.inside(), root.end)) state.mask |= 1 << i;
        }
        const Result<Cursor> rootKids = RootKids(doc, root);
        if (!rootKids && !scan) return rootKids.failure();
        kids = rootKids.value_or(nullptr);
    }

    try {
        std::vector<int32_t> direct;
        if (Failure f = kids ? WalkPageTree(job, doc, kids, root.number, state, direct) : Failure()) return f;
        if (!direct.empty()) {
            // The pages written into /Kids get numbers of their own in an
            // update of the image; the tree is then read again.
            if (Failure f = LiftDirectKids(job, doc, direct)) return f;
            return AnalyzeDocument(job, doc, scan);
        }
        // A tree that lost kids, or holds fewer pages than it says, may
        // have left pages the file still holds: they are found by reading
        // every object.
        doc.treeDamaged = !kids || doc.lostTreeNodes() > 0 || doc.declaredPages > static_cast<int32_t>(doc.pages.size());
        if (scan && doc.treeDamaged) doc.scannedPages = AddScannedPages(job, doc);
    } catch (const std::bad_alloc&) {
        return Failure(kPageListFull);
    }
    if (job.Stopped()) return Failure(job.StopCode);
    if (doc.pages.empty()) return Failure(kNoPages);
    doc.pages.shrink_to_fit();

    if ((job.Viewer.KeepOutlines || job.NeedOutlines) && FindKey("/Outlines", catalog.inside(), catalog.end)) {
        job.Step = JobStep::Outlines;
        if (Failure f = AnalyzeOutlines(job, doc, catalog.inside(), catalog.end)) return f;
    }
    return static_cast<int32_t>(doc.pages.size());
}

}  // namespace brisel
