#include "pagewriter/struct_tree.h"

#include <algorithm>

#include "docstruct/dict_entries.h"
#include "docstruct/document_data.h"
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
    bool OnFile(int32_t pageNumber, size_t slot) const;
    bool ContentReferenceOnFile(Cursor open, Cursor close, size_t slot) const;
    int ContentKids(size_t slot, std::string* out);
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
            Cursor body = FindObject(job_, doc_.table, doc_.start(), doc_.end(), number, generation);
            job_.LastError = 0;
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

// Whether marked content of the page (0: the element names none) is on the
// file: an element without /Pg has its content where the parent tree lists it.
bool FileStructure::OnFile(int32_t pageNumber, size_t slot) const {
    return pageNumber > 0 ? InFile(pageNumber) : seeds_.Find(kept_[slot]) >= 0;
}

// A marked-content reference on the file's pages (in a form the file holds,
// for /Stm), or an object reference to an object the file holds: an
// annotation that was dropped, or leads to another page, takes its
// reference with it.
bool FileStructure::ContentReferenceOnFile(Cursor open, Cursor close, size_t slot) const {
    bool mcr = false, objr = false;
    int32_t page = s_.elements[static_cast<size_t>(kept_[slot])].page, stream = 0, object = 0;
    DictEntry e;
    for (Cursor p = open + 2; NextDictEntry(p, close, e);) {
        int32_t number = 0, generation;
        Cursor v = e.value;
        const bool reference = ReadReference(v, e.valueEnd, number, generation);
        if (e.Is("/Type")) {
            mcr = ValueIsName(e, "/MCR");
            objr = ValueIsName(e, "/OBJR");
        } else if (e.Is("/Pg") && reference) {
            page = number;
        } else if (e.Is("/Stm") && reference) {
            stream = number;
        } else if (e.Is("/Obj") && reference) {
            object = number;
        }
    }
    if (objr) return object > 0 && Holds(object);
    if (mcr) return OnFile(page, slot) && (stream == 0 || Holds(stream));
    return false;
}

int32_t FileStructure::AliveSlot(int32_t element) const {
    const int32_t slot = element >= 0 ? slot_.Find(element) : -1;
    return slot >= 0 && alive_[static_cast<size_t>(slot)] ? slot : -1;
}

// The kids of the /K of an element that holds content, as far as they are on
// the file: with out, written there (element kids by their numbers). The
// number of kids, or -1 on a closure failure.
int FileStructure::ContentKids(size_t slot, std::string* out) {
    const int32_t self = kept_[slot];
    const StructElement& element = s_.elements[static_cast<size_t>(self)];
    const Cursor end = doc_.end();
    if (element.kidsKey < 0) return 0;
    Cursor p = doc_.start() + element.kidsKey + 2, stop = doc_.start() + element.kidsEnd;
    if (!SkipWhiteAndComments(p, stop)) return 0;
    if (*p == '[') ++p, --stop;
    int count = 0;
    // Appends the dictionary [from, to) with what it reaches.
    auto copy = [&](Cursor from, Cursor to) {
        const int range = closure_.WalkRange(from, to);
        if (range < 0) return false;
        closure_.CopyWithReferences(range, from, to, "null", *out);
        *out += ' ';
        return true;
    };
    while (p < stop) {
        if (!SkipWhiteAndComments(p, stop)) break;
        int32_t number, generation;
        Cursor q = p;
        if (IsDigit(*p) && ReadReference(q, stop, number, generation)) {
            p = q;
            const int32_t kid = s_.elementOf.Find(number);
            if (kid >= 0) {
                const int32_t kidSlot = AliveSlot(kid);
                if (kidSlot < 0 || s_.elements[static_cast<size_t>(kid)].parent != self) continue;
                ++count;
                if (out) AppendReference(*out, numbers_[static_cast<size_t>(kidSlot)]);
                continue;
            }
            Cursor kopen = FindObject(job_, doc_.table, doc_.start(), end, number, generation);
            job_.LastError = 0;
            Cursor kclose = kopen && AtDict(kopen, end) ? FindDictEnd(kopen + 2, end) : nullptr;
            if (!kclose || !ContentReferenceOnFile(kopen, kclose, slot)) continue;
            ++count;
            if (out && !copy(kopen, kclose + 2)) return -1;
            continue;
        }
        Cursor next = ValueEnd(p, stop);
        if (!next || next <= p) break;
        if (IsDigit(*p)) {  // an MCID on the element's page
            if (OnFile(element.page, slot)) {
                ++count;
                if (out) *out += std::string(BytesBetween(p, next)) + " ";
            }
        } else if (AtDict(p, next)) {
            Cursor kclose = FindDictEnd(p + 2, next);
            if (kclose && ContentReferenceOnFile(p, kclose, slot)) {
                ++count;
                if (out && !copy(p, kclose + 2)) return -1;
            }
        }
        p = next;
    }
    return count;
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
        if (element.content) {
            if (ContentKids(slot, &text) < 0) return false;
        } else {
            for (int32_t kid : children_[slot])
                if (alive_[static_cast<size_t>(kid)]) AppendReference(text, numbers_[static_cast<size_t>(kid)]);
        }
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
    // Children come after their parent: from the last slot back, each
    // element knows whether its kids are on the file.
    alive_.assign(kept_.size(), 0);
    for (size_t slot = kept_.size(); slot-- > 0;) {
        for (int32_t kid : children_[slot]) alive_[slot] = alive_[slot] || alive_[static_cast<size_t>(kid)];
        if (!alive_[slot] && s_.elements[static_cast<size_t>(kept_[slot])].content)
            alive_[slot] = ContentKids(slot, nullptr) > 0;
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
    job_.LastError = 0;
    ++job_.MissingObjects;  // the page file is reported incomplete
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
