#include "pagewriter/closure.h"

#include <algorithm>

#include "pdfread/xref_table.h"
#include "pagewriter/reference_scan.h"

namespace brisel {

namespace {

// What AddObject returns for a reference to an object the file does not hold.
constexpr int kNullReference = -1;

void AppendNumber(std::string& out, int32_t value) {
    char digits[12];
    int n = 0;
    uint32_t v = static_cast<uint32_t>(value);
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v);
    while (n) out += digits[--n];
}

// Whether the reference at `at` is an element of an array: the byte before
// it (past white space) opens the array or ends the reference before it.
bool InArray(Cursor start, Cursor at) {
    Cursor p = at;
    while (p > start && IsWhite(p[-1])) --p;
    if (p == start) return false;
    return p[-1] == '[' || (p[-1] == 'R' && p - 1 > start && IsWhite(p[-2]));
}

}  // namespace

namespace {

// Whether c can begin a value: a dictionary or hexadecimal string, an array,
// a string, a name, a number, true, false or null.
bool BeginsValue(uint8_t c) {
    return c == '<' || c == '[' || c == '(' || c == '/' || IsDigit(c) || c == '+' || c == '-' || c == '.' ||
           c == 't' || c == 'f' || c == 'n';
}

}  // namespace

PageClosure::PageClosure(Job& job, const Document& doc, int32_t firstNumber)
    : job_(job), doc_(doc), nextNumber_(firstNumber) {}

// A reference to an object the file does not hold (absent, free, or listed
// with another generation) is a reference to null; it adds nothing, and an
// absent one is noted in found(). Returns
// the new entry, kNullReference for such a reference, or a ClosureResult.
int PageClosure::AddObject(int32_t number, int32_t generation) {
    // Whatever refers to them (links, form fields, an odd /P), other pages
    // and the nodes of the page tree never enter a page file; its own pages
    // are in it from the start. The first object of a closure without
    // registered pages is its page. Structure elements enter only rewritten
    // for the file (Reserve), those of other pages not at all.
    if (entries_.empty() && pageCount_ == 0) pageCount_ = 1;
    else if (doc_.treeObjects.Find(number) >= 0 || omitted_.Find(number) >= 0 ||
             doc_.structure.elementOf.Find(number) >= 0 ||
             (number == doc_.structure.rootNumber && doc_.structure.present))
        return kNullReference;
    const XrefEntry* listed = doc_.table.Find(number);
    // A number the input lists free is a legitimate null; one it does not
    // list, or lists in use without the object being there, is damage: the
    // page file is written without it and reported incomplete.
    if (!listed || (listed->type != 'n' && doc_.reader.IsMissing(number))) {
        NoteMissing(number, listed ? listed->offset : -1);
        return kNullReference;
    }
    if (listed->type != 'n' || listed->generation != generation) return kNullReference;
    Cursor body = LocateObject(doc_.start(), doc_.end(), listed->offset, number, generation).value_or(nullptr);
    if (!body) return kClosureObjectMissing;
    // A body that begins no value (a damaged "<<", say) cannot be read:
    // the object is taken as missing, and the page file reported.
    if (!BeginsValue(*body)) {
        NoteMissing(number, listed->offset);
        return kNullReference;
    }
    Entry entry;
    entry.number = number;
    entry.generation = generation;
    entry.newNumber = nextNumber_++;
    entry.body = body;
    if (!cuts_.empty()) entry.cut = cutOf_.Find(number);
    entries_.push_back(entry);
    int32_t index = static_cast<int32_t>(entries_.size() - 1);
    index_.Insert(number, index);
    return index;
}

bool PageClosure::CutArray(int32_t number, Cursor from, Cursor to, std::vector<std::pair<int32_t, int32_t>> kids) {
    if (index_.Find(number) >= 0 || cutOf_.Find(number) >= 0) return false;
    cutOf_.Insert(number, static_cast<int32_t>(cuts_.size()));
    cuts_.push_back(Cut{from, to, std::move(kids)});
    return true;
}

void PageClosure::AppendRef(int32_t entry, int32_t target, int32_t generation, Cursor at, Cursor after,
                            bool parent) {
    refs_.push_back({target, generation, at, after, parent, -1});
    int32_t r = static_cast<int32_t>(refs_.size() - 1);
    Entry& e = entries_[static_cast<size_t>(entry)];
    if (e.lastRef >= 0) refs_[static_cast<size_t>(e.lastRef)].next = r;
    else e.firstRef = r;
    e.lastRef = r;
}

// Depth first from one entry: each reference is followed as soon as it is
// found, so objects are numbered in the order they are first reached.
int PageClosure::Walk(int32_t start) {
    struct Frame {
        int32_t entry;
        Cursor cursor;
        Cursor bound;
    };
    std::vector<Frame> stack;
    const Entry& first = entries_[static_cast<size_t>(start)];
    stack.push_back({start, first.body, first.bodyEnd ? first.bodyEnd : doc_.end()});
    while (!stack.empty()) {
        Frame& frame = stack.back();
        const Entry& current = entries_[static_cast<size_t>(frame.entry)];
        ScanContext context{current.body, doc_.start(), doc_.end(), &doc_.table};
        ScanResult r = NextReference(frame.cursor, frame.bound, context);
        switch (r.event) {
            case ScanEvent::Reference: {
                if (current.cut >= 0) {
                    // The cut array is written from its kept kids: the
                    // scan jumps past it, and the kids are walked instead,
                    // in their order.
                    const Cut& cut = cuts_[static_cast<size_t>(current.cut)];
                    if (r.at >= cut.from && r.at < cut.to) {
                        frame.cursor = cut.to;
                        const size_t base = stack.size();
                        for (const auto& [number, generation] : cut.kids) {
                            if (index_.Find(number) >= 0) continue;
                            if (job_.Stopped()) return kClosureStopped;
                            const int added = AddObject(number, generation);
                            if (added < kNullReference) return added;
                            if (added >= 0) stack.push_back({added, entries_[static_cast<size_t>(added)].body, doc_.end()});
                        }
                        std::reverse(stack.begin() + static_cast<std::ptrdiff_t>(base), stack.end());
                        break;
                    }
                }
                if (!skip_.empty()) {
                    if (Cursor to = SkippedTo(r.at)) {
                        frame.cursor = std::max(frame.cursor, std::min(to, frame.bound));
                        break;
                    }
                }
                int32_t owner = frame.entry;
                AppendRef(owner, r.number, r.generation, r.at, r.after, false);
                if (index_.Find(r.number) >= 0) break;
                if (job_.Stopped()) return kClosureStopped;
                int added = AddObject(r.number, r.generation);
                if (added < kNullReference) return added;
                if (added >= 0) stack.push_back({added, entries_[static_cast<size_t>(added)].body, doc_.end()});
                break;
            }
            case ScanEvent::ParentValue:
                AppendRef(frame.entry, r.number, r.generation, r.at, r.after, true);
                break;
            case ScanEvent::StreamData:
                if (!entries_[static_cast<size_t>(frame.entry)].streamKeywordEnd)
                    entries_[static_cast<size_t>(frame.entry)].streamKeywordEnd = r.at;
                break;
            case ScanEvent::ObjectEnd:
                entries_[static_cast<size_t>(frame.entry)].bodyEnd = r.at;
                stack.pop_back();
                break;
            case ScanEvent::Bound:
                // Only a direct dictionary ends at its bound; an object must
                // end with "endobj".
                if (entries_[static_cast<size_t>(frame.entry)].number >= 0) return kClosureNoEndobj;
                stack.pop_back();
                break;
            case ScanEvent::Error: {
                // Stream data without an end (no "endstream" after it) is
                // not recovered: the object is written as null, and the
                // page file reported incomplete.
                Entry& broken = entries_[static_cast<size_t>(frame.entry)];
                if (r.error != kScanBadStream || frame.entry < pageCount_ || broken.number <= 0 || broken.reserved)
                    return r.error;
                broken.bodyEnd = nullptr;
                broken.streamKeywordEnd = nullptr;
                NoteMissing(broken.number, broken.body - doc_.start());
                stack.pop_back();
                break;
            }
        }
    }
    return 0;
}

int PageClosure::WalkObject(int32_t number, int32_t generation) {
    if (index_.Find(number) >= 0) return 0;
    if (job_.Stopped()) return kClosureStopped;
    int added = AddObject(number, generation);
    if (added < kNullReference) return added;
    if (added == kNullReference) return 0;
    return Walk(added);
}

int PageClosure::AddPages(const std::vector<const PageEntry*>& pages) {
    for (const PageEntry* page : pages) {
        if (index_.Find(page->number) >= 0) continue;
        const XrefEntry* listed = doc_.table.Find(page->number);
        if (!listed || listed->type != 'n' || listed->generation != page->generation) return kClosureObjectMissing;
        Cursor body = LocateObject(doc_.start(), doc_.end(), listed->offset, page->number, page->generation).value_or(nullptr);
        if (!body) return kClosureObjectMissing;
        Entry entry;
        entry.number = page->number;
        entry.generation = page->generation;
        entry.newNumber = nextNumber_++;
        entry.body = body;
        entries_.push_back(entry);
        index_.Insert(page->number, static_cast<int32_t>(entries_.size() - 1));
        ++pageCount_;
    }
    return 0;
}

int PageClosure::WalkPage(int32_t k) {
    if (k < 0 || k >= pageCount_) return kClosureObjectMissing;
    if (job_.Stopped()) return kClosureStopped;
    return Walk(k);
}

int32_t PageClosure::Reserve(int32_t number, int32_t generation) {
    Entry entry;
    entry.number = number;
    entry.generation = generation;
    entry.newNumber = nextNumber_++;
    entry.reserved = true;
    entries_.push_back(entry);
    if (number > 0 && index_.Find(number) < 0) index_.Insert(number, static_cast<int32_t>(entries_.size() - 1));
    return entry.newNumber;
}

int PageClosure::WalkRange(Cursor from, Cursor to) {
    Entry range;
    range.number = -1;
    range.body = from;
    range.bodyEnd = to;
    entries_.push_back(range);
    int32_t index = static_cast<int32_t>(entries_.size() - 1);
    int r = Walk(index);
    return r < 0 ? r : index;
}

Cursor PageClosure::SkippedTo(Cursor at) const {
    auto after = std::upper_bound(skip_.begin(), skip_.end(), at,
                                  [](Cursor p, const std::pair<Cursor, Cursor>& range) { return p < range.first; });
    if (after == skip_.begin()) return nullptr;
    --after;
    return at < after->second ? after->second : nullptr;
}

void PageClosure::AppendKept(std::string& out, Cursor from, Cursor to) const {
    if (!skip_.empty()) {
        auto range = std::lower_bound(skip_.begin(), skip_.end(), from,
                                      [](const std::pair<Cursor, Cursor>& r, Cursor p) { return r.second <= p; });
        for (; range != skip_.end() && range->first < to; ++range) {
            if (range->first > from) out.append(reinterpret_cast<const char*>(from), static_cast<size_t>(range->first - from));
            from = std::max(from, range->second);
        }
    }
    if (to > from) out.append(reinterpret_cast<const char*>(from), static_cast<size_t>(to - from));
}

void PageClosure::CopyWithReferences(int index, Cursor from, Cursor to, const char* parentText,
                                     std::string& out) const {
    Cursor p = from;
    const int32_t cutIndex = entries_[static_cast<size_t>(index)].cut;
    const Cut* cut = cutIndex >= 0 ? &cuts_[static_cast<size_t>(cutIndex)] : nullptr;
    if (cut && (cut->from < from || cut->to > to)) cut = nullptr;
    // The cut array, written once the copy reaches it.
    auto writeCut = [&](Cursor before) {
        if (!cut || cut->from >= before) return;
        AppendKept(out, p, cut->from);
        out += "[";
        for (const auto& [number, generation] : cut->kids) {
            const int32_t target = index_.Find(number);
            if (target < 0 || entries_[static_cast<size_t>(target)].generation != generation) continue;
            AppendNumber(out, entries_[static_cast<size_t>(target)].newNumber);
            out += " 0 R ";
        }
        out += "]";
        p = cut->to;
        cut = nullptr;
    };
    for (int32_t r = entries_[static_cast<size_t>(index)].firstRef; r >= 0; r = refs_[static_cast<size_t>(r)].next) {
        const Ref& ref = refs_[static_cast<size_t>(r)];
        if (ref.at < p || ref.after > to) continue;
        writeCut(ref.at);
        if (ref.at < p) continue;
        AppendKept(out, p, ref.at);
        const int32_t target = index_.Find(ref.target);
        const bool held = target >= 0 && entries_[static_cast<size_t>(target)].generation == ref.generation;
        if (ref.parent && (index < pageCount_ || !held)) {
            out += parentText;
        } else if (held) {
            AppendNumber(out, entries_[static_cast<size_t>(target)].newNumber);
            out += " 0 R";
        } else if (omitted_.Find(ref.target) >= 0 && InArray(doc_.start(), ref.at)) {
            // left out
        } else {
            out += "null";
        }
        p = ref.after;
    }
    writeCut(to);
    AppendKept(out, p, to);
}

}  // namespace brisel
