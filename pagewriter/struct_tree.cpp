#include "pagewriter/struct_tree.h"

#include <algorithm>

#include "docstruct/dict_entries.h"
#include "docstruct/document_data.h"
#include "pdfread/xref_table.h"
#include "docstruct/object_value.h"
#include "pagewriter/document_data.h"

namespace brisel {

namespace {

void AppendReference(std::string& out, int32_t number) {
    out += std::to_string(number);
    out += " 0 R ";
}

// The structure of one file, built from the index: which elements it keeps
// (the slots), and their texts.
class FileStructure {
public:
    FileStructure(Job& job, const Document& doc, PageClosure& closure)
        : job_(job), doc_(doc), s_(doc.structure), closure_(closure) {}

    bool Build(std::string& entries, WrittenObjects& objects);

private:
    // What the parent tree holds for one key the file uses.
    struct KeyValue {
        int32_t key;
        bool array;                     // an element for each MCID, else one element
        std::vector<int32_t> elements;  // element indexes; -1 for none
    };

    void CollectKeys();
    void AddKey(int32_t key);
    void ReadElementArray(Cursor open, KeyValue& value);
    void KeepWithAncestors(int32_t element);
    void Order();
    bool InFile(int32_t pageNumber) const;
    bool Holds(int32_t number) const;
    void CollectContent();
    void AddContent(size_t entry);
    bool WriteKids(size_t slot, std::string& text);
    int32_t AliveSlot(int32_t element) const;
    bool WriteElement(size_t slot, std::string& text);
    bool WriteRoot(std::string& text);
    bool WriteObjects(std::string& entries, WrittenObjects& objects);

    Job& job_;
    const Document& doc_;
    const StructureIndex& s_;
    PageClosure& closure_;
    std::vector<KeyValue> keys_;
    ObjectMap keyUsed_;
    ObjectMap seeds_;             // elements the parent tree lists for the file
    std::vector<int32_t> kept_;   // element indexes; in tree order after Order()
    ObjectMap slot_;              // element index to its place in kept_
    std::vector<std::vector<int32_t>> children_;  // by slot: the slots of its kept children, in order
    std::vector<std::vector<int32_t>> content_;   // by slot: its entries of s_.content on the file
    std::vector<uint8_t> alive_;  // by slot: it has content on the file
    std::vector<int32_t> numbers_;  // by slot: its number in the file
    int32_t rootNumber_ = 0;
};

// The keys of /StructParents (a page, a form) and /StructParent (an
// annotation, an object) of every object the file holds.
void FileStructure::CollectKeys() {
    const Cursor end = doc_.end();
    const auto& entries = closure_.entries();
    for (size_t i = 0; i < entries.size(); ++i) {
        const PageClosure::Entry& e = entries[i];
        if (e.number <= 0 || e.reserved || !e.body || !StartsWith(e.body, end, "<<")) continue;
        Cursor close = FindDictEnd(e.body + 2, end);
        if (!close) continue;
        DictEntry entry;
        for (Cursor p = e.body + 2; NextDictEntry(p, close, entry);) {
            int32_t key;
            Cursor v = entry.value;
            if ((entry.Is("/StructParents") || entry.Is("/StructParent")) && ReadDigits(v, entry.valueEnd, key))
                AddKey(key);
        }
    }
}

void FileStructure::ReadElementArray(Cursor open, KeyValue& value) {
    value.array = true;
    Cursor close = ValueEnd(open, doc_.end());
    if (!close) return;
    for (Cursor p = open + 1; p < close;) {
        if (!SkipWhiteAndComments(p, close) || *p == ']') break;
        int32_t number, generation;
        Cursor q = p;
        if (IsDigit(*p) && ReadReference(q, close, number, generation)) {
            value.elements.push_back(s_.elementOf.Find(number));
            p = q;
            continue;
        }
        Cursor next = ValueEnd(p, close);
        if (!next || next <= p) break;
        value.elements.push_back(-1);
        p = next;
    }
}

void FileStructure::AddKey(int32_t key) {
    if (keyUsed_.Find(key) >= 0) return;
    keyUsed_.Insert(key, 1);
    const int32_t at = s_.parentKeys.Find(key);
    if (at < 0) return;
    KeyValue value{key, false, {}};
    Cursor p = doc_.start() + s_.parentValues[static_cast<size_t>(at)];
    int32_t number, generation;
    Cursor q = p;
    if (ReadReference(q, doc_.end(), number, generation)) {
        const int32_t element = s_.elementOf.Find(number);
        if (element >= 0) {
            value.elements.push_back(element);
        } else {
            Cursor body = FindObject(doc_.table, doc_.start(), doc_.end(), number, generation).value_or(nullptr);
            if (body && *body == '[') ReadElementArray(body, value);
        }
    } else if (*p == '[') {
        ReadElementArray(p, value);
    }
    for (int32_t element : value.elements) {
        if (element < 0) continue;
        seeds_.Insert(element, 1);
        KeepWithAncestors(element);
    }
    keys_.push_back(std::move(value));
}

// A parent's index is below its child's, so the climb ends.
void FileStructure::KeepWithAncestors(int32_t element) {
    while (element >= 0 && slot_.Find(element) < 0) {
        slot_.Insert(element, static_cast<int32_t>(kept_.size()));
        kept_.push_back(element);
        element = s_.elements[static_cast<size_t>(element)].parent;
    }
}

void FileStructure::Order() {
    std::sort(kept_.begin(), kept_.end());
    slot_ = ObjectMap();
    children_.assign(kept_.size(), {});
    for (size_t i = 0; i < kept_.size(); ++i) {
        slot_.Insert(kept_[i], static_cast<int32_t>(i));
        const int32_t parent = s_.elements[static_cast<size_t>(kept_[i])].parent;
        if (parent >= 0) children_[static_cast<size_t>(slot_.Find(parent))].push_back(static_cast<int32_t>(i));
    }
}

bool FileStructure::InFile(int32_t pageNumber) const {
    const int32_t index = closure_.IndexOf(pageNumber);
    return index >= 0 && index < closure_.pageCount();
}

bool FileStructure::Holds(int32_t number) const {
    const int32_t index = closure_.IndexOf(number);
    return index >= 0 && closure_.entries()[static_cast<size_t>(index)].newNumber > 0;
}

// The content of the kept elements that lies on the file: read from the
// index by the file's pages, and for elements whose content names no page,
// where the parent tree lists them for the file. Marked content in a form
// and object references count where the file holds the form or object: an
// annotation that was dropped, or leads to another page, takes its
// reference with it.
void FileStructure::CollectContent() {
    content_.assign(kept_.size(), {});
    const std::vector<StructContent>& content = s_.content;
    for (int32_t k = 0; k < closure_.pageCount(); ++k) {
        const int32_t page = closure_.entries()[static_cast<size_t>(k)].number;
        for (int32_t i = s_.contentOfPage.Find(page); i >= 0 && static_cast<size_t>(i) < content.size() &&
                                                      content[static_cast<size_t>(i)].page == page;
             ++i)
            AddContent(static_cast<size_t>(i));
    }
    for (int32_t element : kept_) {
        if (seeds_.Find(element) < 0) continue;
        for (int32_t i = s_.contentOfElement.Find(element);
             i >= 0 && static_cast<size_t>(i) < content.size() && content[static_cast<size_t>(i)].page == 0 &&
             content[static_cast<size_t>(i)].element == element;
             ++i)
            AddContent(static_cast<size_t>(i));
    }
    auto byPosition = [&](int32_t a, int32_t b) {
        return content[static_cast<size_t>(a)].position < content[static_cast<size_t>(b)].position;
    };
    for (std::vector<int32_t>& entries : content_) std::sort(entries.begin(), entries.end(), byPosition);
}

void FileStructure::AddContent(size_t entry) {
    const StructContent& c = s_.content[entry];
    const int32_t slot = slot_.Find(c.element);
    if (slot < 0) return;
    if (c.kind == StructContent::kObject && !Holds(c.target)) return;
    if (c.kind == StructContent::kMarked && c.target > 0 && !Holds(c.target)) return;
    content_[static_cast<size_t>(slot)].push_back(static_cast<int32_t>(entry));
}

int32_t FileStructure::AliveSlot(int32_t element) const {
    const int32_t slot = element >= 0 ? slot_.Find(element) : -1;
    return slot >= 0 && alive_[static_cast<size_t>(slot)] ? slot : -1;
}

// The kids of an element on the file, in the order of its /K: its kept
// elements by their numbers, its content as it stands in the input, with
// what a reference dictionary reaches. false on a closure failure.
bool FileStructure::WriteKids(size_t slot, std::string& text) {
    const std::vector<int32_t>& kids = children_[slot];
    const std::vector<int32_t>& content = content_[slot];
    size_t k = 0, c = 0;
    while (k < kids.size() || c < content.size()) {
        const StructElement* kid =
            k < kids.size() ? &s_.elements[static_cast<size_t>(kept_[static_cast<size_t>(kids[k])])] : nullptr;
        const StructContent* item = c < content.size() ? &s_.content[static_cast<size_t>(content[c])] : nullptr;
        if (kid && (!item || kid->position < item->position)) {
            if (alive_[static_cast<size_t>(kids[k])]) AppendReference(text, numbers_[static_cast<size_t>(kids[k])]);
            ++k;
            continue;
        }
        ++c;
        Cursor from = doc_.start() + item->at, to = doc_.start() + item->end;
        if (item->kind == StructContent::kMcid) {
            text += std::string(BytesBetween(from, to)) + " ";
            continue;
        }
        const int range = closure_.WalkRange(from, to);
        if (range < 0) return false;
        closure_.CopyWithReferences(range, from, to, "null", text);
        text += ' ';
    }
    return true;
}

bool FileStructure::WriteElement(size_t slot, std::string& text) {
    const StructElement& element = s_.elements[static_cast<size_t>(kept_[slot])];
    const int32_t parentSlot = element.parent >= 0 ? slot_.Find(element.parent) : -1;
    const int32_t parent = parentSlot >= 0 ? numbers_[static_cast<size_t>(parentSlot)] : rootNumber_;
    text = std::to_string(numbers_[slot]) + " 0 obj\n<<\n";
    // The entries before /K and after it; /K itself is rewritten, not read.
    const Cursor start = doc_.start();
    const bool kids = element.kidsKey >= 0;
    const std::pair<Cursor, Cursor> parts[2] = {
        {start + element.dict + 2, kids ? start + element.kidsKey : start + element.dictEnd},
        {kids ? start + element.kidsEnd : start + element.dictEnd, start + element.dictEnd}};
    if (kids) {
        text += "/K [ ";
        if (!WriteKids(slot, text)) return false;
        text += "]\n";
    }
    text += "/P " + std::to_string(parent) + " 0 R\n";
    for (const auto& [from, to] : parts) {
        DictEntry e;
        for (Cursor p = from; NextDictEntry(p, to, e);) {
            if (e.Is("/P") || e.Is("/K")) continue;
            if (e.Is("/Pg")) {
                // A page outside the file goes with its key.
                if (InFile(element.page)) {
                    const int32_t page =
                        closure_.entries()[static_cast<size_t>(closure_.IndexOf(element.page))].newNumber;
                    text += "/Pg " + std::to_string(page) + " 0 R\n";
                }
            } else if (!AppendWalkedEntry(closure_, std::string(BytesBetween(e.key, e.keyEnd)).c_str(), e.value,
                                          e.valueEnd, text)) {
                return false;
            }
        }
    }
    text += ">>\nendobj\n";
    return true;
}

bool FileStructure::WriteRoot(std::string& text) {
    text = std::to_string(rootNumber_) + " 0 obj\n<<\n/Type /StructTreeRoot\n/K [ ";
    for (size_t slot = 0; slot < kept_.size(); ++slot)
        if (alive_[slot] && s_.elements[static_cast<size_t>(kept_[slot])].parent < 0)
            AppendReference(text, numbers_[slot]);
    text += "]\n/ParentTree << /Nums [ ";
    std::sort(keys_.begin(), keys_.end(), [](const KeyValue& a, const KeyValue& b) { return a.key < b.key; });
    int32_t nextKey = s_.nextKey;
    for (const KeyValue& value : keys_) {
        nextKey = std::max(nextKey, value.key + 1);
        if (!value.array) {
            const int32_t slot = AliveSlot(value.elements.empty() ? -1 : value.elements[0]);
            if (slot < 0) continue;
            text += std::to_string(value.key) + " ";
            AppendReference(text, numbers_[static_cast<size_t>(slot)]);
            continue;
        }
        text += std::to_string(value.key) + " [ ";
        for (int32_t element : value.elements) {
            const int32_t slot = AliveSlot(element);
            if (slot >= 0) AppendReference(text, numbers_[static_cast<size_t>(slot)]);
            else text += "null ";
        }
        text += "] ";
    }
    text += "] >>\n/ParentTreeNextKey " + std::to_string(nextKey) + "\n";

    // The IDTree's keys of the elements kept, in the tree's order.
    std::vector<std::pair<int32_t, int32_t>> ids;
    for (size_t slot = 0; slot < kept_.size(); ++slot) {
        const int32_t id = s_.elements[static_cast<size_t>(kept_[slot])].id;
        if (alive_[slot] && id >= 0) ids.emplace_back(id, numbers_[slot]);
    }
    if (!ids.empty()) {
        std::sort(ids.begin(), ids.end());
        text += "/IDTree << /Names [ ";
        for (const auto& [id, number] : ids) {
            const auto& [offset, length] = s_.ids[static_cast<size_t>(id)];
            text += std::string(BytesBetween(doc_.start() + offset, doc_.start() + offset + length)) + " ";
            AppendReference(text, number);
        }
        text += "] >>\n";
    }
    const std::pair<int64_t, const char*> maps[] = {
        {s_.roleMap, "/RoleMap"}, {s_.classMap, "/ClassMap"}, {s_.namespaces, "/Namespaces"}};
    for (const auto& [offset, key] : maps) {
        if (offset < 0) continue;
        Cursor value = doc_.start() + offset;
        Cursor valueEnd = ValueEnd(value, doc_.end());
        if (valueEnd && !AppendWalkedEntry(closure_, key, value, valueEnd, text)) return false;
    }
    text += ">>\nendobj\n";
    return true;
}

bool FileStructure::Build(std::string& entries, WrittenObjects& objects) {
    CollectKeys();
    if (kept_.empty()) return true;
    Order();
    // An element stays when it has content on the file or a kid that stays.
    // Children come after their parent: from the last slot back, each
    // element knows whether its kids stay.
    alive_.assign(kept_.size(), 0);
    CollectContent();
    for (size_t slot = kept_.size(); slot-- > 0;) {
        alive_[slot] = !content_[slot].empty();
        for (int32_t kid : children_[slot]) alive_[slot] = alive_[slot] || alive_[static_cast<size_t>(kid)];
    }
    bool any = false;
    for (size_t slot = 0; slot < kept_.size(); ++slot)
        any = any || (alive_[slot] && s_.elements[static_cast<size_t>(kept_[slot])].parent < 0);
    if (!any) return true;

    rootNumber_ = closure_.Reserve(s_.rootNumber > 0 ? s_.rootNumber : -1, s_.rootGeneration);
    numbers_.assign(kept_.size(), 0);
    for (size_t slot = 0; slot < kept_.size(); ++slot) {
        const StructElement& element = s_.elements[static_cast<size_t>(kept_[slot])];
        if (alive_[slot]) numbers_[slot] = closure_.Reserve(element.number, element.generation);
    }
    const size_t first = objects.size();
    std::string lines;
    if (WriteObjects(lines, objects)) {
        entries += lines;
        return true;
    }
    if (job_.Stopped()) return false;
    // A damaged object that only the tree reaches (an attribute object
    // without its end) costs the file its tree, not the page: the numbers
    // given out name null objects, and what the closure took in before the
    // damage stays, its references to the damaged object null.
    closure_.NoteMissing(doc_.structure.rootNumber, doc_.structure.root);  // the page file is reported incomplete
    objects.resize(first);
    auto placeholder = [&](int32_t number) {
        objects.emplace_back(number, std::to_string(number) + " 0 obj\nnull\nendobj\n");
    };
    placeholder(rootNumber_);
    for (int32_t number : numbers_)
        if (number > 0) placeholder(number);
    return true;
}

bool FileStructure::WriteObjects(std::string& entries, WrittenObjects& objects) {
    for (size_t slot = 0; slot < kept_.size(); ++slot) {
        if (!alive_[slot]) continue;
        std::string text;
        if (!WriteElement(slot, text)) return false;
        objects.emplace_back(numbers_[slot], std::move(text));
    }
    std::string root;
    if (!WriteRoot(root)) return false;
    objects.emplace_back(rootNumber_, std::move(root));
    entries += "/StructTreeRoot " + std::to_string(rootNumber_) + " 0 R\n";
    // Tagged, now that it has a structure tree.
    Cursor mark = CatalogValue(doc_, kMarkInfo);
    Cursor markEnd = mark ? ValueEnd(mark, doc_.end()) : nullptr;
    return !markEnd || AppendWalkedEntry(closure_, "/MarkInfo", mark, markEnd, entries);
}

}  // namespace

bool GatherStructure(Job& job, const Document& doc, PageClosure& closure, std::string& entries,
                     WrittenObjects& objects) {
    if (!job.app.KeepDocumentData || !doc.structure.present) return true;
    FileStructure structure(job, doc, closure);
    return structure.Build(entries, objects);
}

}  // namespace brisel
