#include "pagewriter/bookmark_tree.h"

#include <algorithm>
#include <climits>
#include <new>
#include <utility>

namespace brisel {

namespace {

constexpr int32_t kNone = -1;

// One node of a page file's outline tree. Node 0 is the root; a placeholder
// stands for a level that no selected bookmark fills.
struct Node {
    int32_t depth = 0;
    int32_t record = kNone;  // index into the OutlineTable; none for the root and placeholders
    int32_t parent = kNone, prev = kNone, next = kNone, first = kNone, last = kNone;
    int32_t count = 0;
};

// The root, then the selected records; in tree mode each keeps its depth,
// with a placeholder for every level skipped on the way down to it.
std::vector<Node> MakeNodes(const Document& doc, const std::vector<int32_t>& selected, bool flat) {
    std::vector<Node> nodes(1);
    for (int32_t record : selected) {
        const int32_t depth = flat ? 1 : std::max(1, doc.outlines[static_cast<size_t>(record)].depth);
        for (int32_t d = nodes.back().depth + 1; d < depth; ++d) nodes.push_back(Node{d});
        Node node;
        node.depth = depth;
        node.record = record;
        nodes.push_back(node);
    }
    return nodes;
}

// Parent and sibling links: a node's parent is the nearest earlier node one
// level up, and the children of a parent are chained in list order.
void Link(std::vector<Node>& nodes) {
    std::vector<int32_t> path{0};  // the latest node at each depth
    for (int32_t k = 1; k < static_cast<int32_t>(nodes.size()); ++k) {
        Node& node = nodes[static_cast<size_t>(k)];
        path.resize(static_cast<size_t>(node.depth));
        Node& parent = nodes[static_cast<size_t>(path.back())];
        node.parent = path.back();
        if (parent.last == kNone) {
            parent.first = k;
        } else {
            node.prev = parent.last;
            nodes[static_cast<size_t>(parent.last)].next = k;
        }
        parent.last = k;
        path.push_back(k);
    }
}

// Counts: an open node gets the number of its visible descendants, a closed
// bookmark (negative /Count in the input) minus the number that opening it
// would show. Children stand after their parent, so one backward pass adds
// each node's share to its parent.
void Count(const Document& doc, std::vector<Node>& nodes, bool flat) {
    if (flat) {
        nodes[0].count = static_cast<int32_t>(nodes.size()) - 1;
        return;
    }
    std::vector<int32_t> visible(nodes.size(), 0);
    auto closed = [&](const Node& node) {
        return node.record != kNone && doc.outlines[static_cast<size_t>(node.record)].count < 0;
    };
    for (size_t k = nodes.size() - 1; k >= 1; --k) {
        const Node& node = nodes[k];
        visible[static_cast<size_t>(node.parent)] += 1 + (closed(node) ? 0 : visible[k]);
    }
    for (size_t k = 0; k < nodes.size(); ++k) nodes[k].count = closed(nodes[k]) ? -visible[k] : visible[k];
}

void Append(std::string& out, const Document& doc, int64_t position, int32_t length) {
    out.append(reinterpret_cast<const char*>(doc.start() + position), static_cast<size_t>(length));
}

// Whether a recorded position and length lie inside the image.
bool InImage(const Document& doc, int64_t position, int32_t length) {
    return length > 0 && position >= 0 && position + length <= static_cast<int64_t>(doc.image.size());
}

// The page file's object for the page a bookmark leads to.
int32_t PageObject(const PageObjectNumbers& pages, int32_t pageIndex) {
    if (pages.empty()) return 3;
    auto at = std::lower_bound(pages.begin(), pages.end(), std::make_pair(pageIndex, INT32_MIN));
    return at != pages.end() && at->first == pageIndex ? at->second : 0;
}

void WriteNode(const Document& doc, const std::vector<Node>& nodes, size_t k, int32_t firstNumber,
               const PageObjectNumbers& pages, std::string& out) {
    const Node& node = nodes[k];
    out += std::to_string(firstNumber + static_cast<int32_t>(k)) + " 0 obj\n<<\n";
    if (k > 0) {
        const OutlineRecord* r = node.record == kNone ? nullptr : &doc.outlines[static_cast<size_t>(node.record)];
        if (r && InImage(doc, r->titlePosition, r->titleLength)) {
            out += "/Title ";
            Append(out, doc, r->titlePosition, r->titleLength);
            out += "\n";
        } else {
            out += "/Title ()\n";
        }
        if (r && InImage(doc, r->colourPosition, r->colourLength)) {
            out += "/C [ ";
            Append(out, doc, r->colourPosition, r->colourLength);
            out += "]\n";
        }
        if (r && r->flags > 0) out += "/F " + std::to_string(r->flags) + "\n";
        const int32_t pageObject = r ? PageObject(pages, r->pageIndex) : 0;
        if (r && pageObject > 0 && InImage(doc, r->viewPosition, r->viewLength)) {
            out += "/Dest [ " + std::to_string(pageObject) + " 0 R ";
            Append(out, doc, r->viewPosition, r->viewLength);
            out += "]\n";
        } else {
            out += "/Dest null\n";
        }
    }
    const std::pair<const char*, int32_t> links[] = {
        {"/Parent ", node.parent}, {"/Prev ", node.prev}, {"/Next ", node.next},
        {"/First ", node.first},   {"/Last ", node.last}};
    for (const auto& [key, target] : links)
        if (target != kNone) out += key + std::to_string(firstNumber + target) + " 0 R\n";
    if (node.count != 0) out += "/Count " + std::to_string(node.count) + "\n";
    out += ">>\nendobj\n";
}

}  // namespace

std::vector<int32_t> SelectPageBookmarks(const Job& job, const Document& doc, int32_t pageIndex) {
    const OutlinePageIndex& index = doc.outlinePages;
    if (!job.Viewer.KeepOutlines || pageIndex < 0 || static_cast<size_t>(pageIndex) + 1 >= index.first.size())
        return {};
    auto from = index.records.begin() + index.first[static_cast<size_t>(pageIndex)];
    auto to = index.records.begin() + index.first[static_cast<size_t>(pageIndex) + 1];
    return std::vector<int32_t>(from, to);
}

std::vector<int32_t> SelectPartBookmarks(const Job& job, const Document& doc, const std::vector<int32_t>& pageIndexes) {
    std::vector<int32_t> records;
    for (int32_t pageIndex : pageIndexes) {
        std::vector<int32_t> page = SelectPageBookmarks(job, doc, pageIndex);
        records.insert(records.end(), page.begin(), page.end());
    }
    std::sort(records.begin(), records.end());
    records.erase(std::unique(records.begin(), records.end()), records.end());
    return records;
}

void AddBookmarkAncestors(const Job& job, const Document& doc, std::vector<int32_t>& records) {
    const std::vector<int32_t>& parent = doc.outlinePages.parent;
    if (job.Viewer.FlatOutlines || records.empty()) return;
    // A parent stands before its child, so each walk up ends. It also ends
    // at an ancestor already taken, so each ancestor is visited once.
    std::vector<int32_t> taken(records);
    const size_t selected = records.size();
    for (size_t i = 0; i < selected; ++i) {
        for (int32_t r = records[i]; r > 0 && static_cast<size_t>(r) < parent.size();) {
            r = parent[static_cast<size_t>(r)];
            if (r <= 0 || std::binary_search(taken.begin(), taken.end(), r)) break;
            records.push_back(r);
            taken.insert(std::upper_bound(taken.begin(), taken.end(), r), r);
        }
    }
    std::sort(records.begin(), records.end());
}

Result<int32_t> WriteBookmarkTree(const Job& job, const Document& doc, const std::vector<int32_t>& selected,
                                  int32_t firstNumber, std::string& out, std::vector<size_t>& offsets,
                                  const PageObjectNumbers& pages) {
    std::vector<Node> nodes;
    try {
        nodes = MakeNodes(doc, selected, job.Viewer.FlatOutlines != 0);
        Link(nodes);
        Count(doc, nodes, job.Viewer.FlatOutlines != 0);
    } catch (const std::bad_alloc&) {
        return Failure(kBookmarksNoMemory);
    }
    try {
        offsets.reserve(offsets.size() + nodes.size());
    } catch (const std::bad_alloc&) {
        return Failure(kBookmarkOffsetsFull);
    }
    try {
        for (size_t k = 0; k < nodes.size(); ++k) {
            offsets.push_back(out.size());
            WriteNode(doc, nodes, k, firstNumber, pages, out);
        }
    } catch (const std::bad_alloc&) {
        return Failure(kBookmarksNoMemory);
    }
    return firstNumber + static_cast<int32_t>(nodes.size());
}

}  // namespace brisel
