#include "docstruct/annots.h"

#include <cstring>
#include <unordered_map>

#include "base/object_map.h"
#include "pdfread/xref_table.h"
#include "docstruct/named_dests.h"
#include "docstruct/object_value.h"
#include "pdfread/token_stepper.h"

namespace brisel {

namespace {

// "N G R" at p; on success p is just after "R".
bool StepOverReference(Cursor& p, Cursor end) {
    Cursor q = p;
    int32_t number, generation;
    if (ReadReferenceValue(q, end, number, generation) != PartFault::None) return false;
    p = q;
    return true;
}

// Steps over the elements of an /Annots array (p just after "["): inline
// dictionaries and references. false for any other element.
bool StepOverAnnotsArray(Cursor& p, Cursor end) {
    for (;;) {
        if (!SkipWhiteAndComments(p, end)) return false;
        if (*p == ']') {
            ++p;
            return true;
        }
        if (*p == '<' || (p + 1 < end && p[1] == '<')) {
            if (!StepOverDict(p, end)) return false;
        } else if (!StepOverReference(p, end)) {
            return false;
        }
    }
}

// Steps over a /B array (p just after "["), comments included.
bool StepOverBeadArray(Cursor& p, Cursor end) {
    while (p < end) {
        if (*p == '%') {
            while (p < end && !IsLineEnd(*p)) ++p;
        } else if (*p++ == ']') {
            return true;
        }
    }
    return false;
}

// The dictionary that an element or value at p stands for: inline, or the
// object a reference names. open is its "<<", close its ">>".
bool ResolveDict(const Document& doc, Cursor p, Cursor& open, Cursor& close) {
    const Cursor end = doc.end();
    if (!StartsWith(p, end, "<<")) {
        Cursor q = p;
        int32_t number, generation;
        if (!ReadReference(q, end, number, generation)) return false;
        p = FindObject(doc.table, doc.start(), end, number, generation).value_or(nullptr);
        if (!p || !StartsWith(p, end, "<<")) return false;
    }
    open = p;
    close = FindDictEnd(p + 2, end);
    return close != nullptr;
}

// Whether the dictionary inside [from, to) holds key with the name value.
bool NameValueIs(Cursor from, Cursor to, const char* key, const char* name) {
    Cursor p = FindKey(key, from, to);
    if (!p) return false;
    p += std::strlen(key);
    const size_t n = std::strlen(name);
    return SkipWhiteAndComments(p, to) && StartsWith(p, to, name) &&
           (p + n == to || IsDelimiter(p[n]));
}

// Which links stay because their destination goes into the same file as
// their page: the file of each page, the page index of each page object,
// and the named destinations (read at the first link that needs them).
struct LinkKeeper {
    const std::vector<int32_t>* partOf = nullptr;
    int32_t page = -1;  // the page whose annotations are filtered
    ObjectMap pageIndex;
    NamedDests dests;
    bool destsRead = false;

    // The page index a destination value (p on its first byte) leads to, or -1.
    int32_t TargetPage(Job& job, const Document& doc, Cursor p) {
        static constexpr ValueCodes kCodes{-1, -1, -1, -1};
        if (!ResolveValue(doc, p, kCodes)) return -1;
        const Cursor end = doc.end();
        NamedDests::Target target;
        if (*p == '[') {
            ExplicitDest dest;
            if (!ReadExplicitDest(p, end, dest)) return -1;
            target.page = dest.page;
        } else if (*p == '(' || *p == '<' || *p == '/') {
            ReadDests(job, doc);
            if (*p == '/') {
                Cursor nameEnd = p + 1;
                while (nameEnd < end && !IsNumberTerminator(*nameEnd)) ++nameEnd;
                auto found = dests.names.find(BytesBetween(p + 1, nameEnd));
                if (found == dests.names.end()) return -1;
                target = found->second;
            } else {
                Cursor nameEnd = StringEnd(p, end);
                if (!nameEnd) return -1;
                auto found = dests.strings.find(BytesBetween(p + 1, nameEnd - 1));
                if (found == dests.strings.end() || !ReadNamedValue(doc, found->second, target)) return -1;
            }
        } else {
            return -1;
        }
        return target.page > 0 ? pageIndex.Find(target.page) : -1;
    }

    // Whether a link leading to the value at p stays.
    bool Keeps(Job& job, const Document& doc, Cursor p) {
        if (page < 0) return false;
        const int32_t target = TargetPage(job, doc, p);
        if (!partOf) return target == page;
        const std::vector<int32_t>& part = *partOf;
        return target >= 0 && static_cast<size_t>(target) < part.size() && static_cast<size_t>(page) < part.size() &&
               part[static_cast<size_t>(page)] >= 0 && part[static_cast<size_t>(target)] == part[static_cast<size_t>(page)];
    }

    // A document whose name tables cannot be read keeps no link by name.
    void ReadDests(Job& job, const Document& doc) {
        if (destsRead) return;
        destsRead = true;
        ReadNamedDests(job, doc, dests);
    }
};

// A link whose destination is in this document: a /Dest (an array, or a name
// that leads to one), or a GoTo action. Such a link leads to another page,
// unless the keeper keeps it.
bool IsInternalLink(Job& job, const Document& doc, Cursor open, Cursor close, LinkKeeper& keeper) {
    if (!NameValueIs(open + 2, close, "/Subtype", "/Link")) return false;
    if (Cursor dest = FindKey("/Dest", open + 2, close)) {
        dest += 5;
        return !(SkipWhiteAndComments(dest, close) && keeper.Keeps(job, doc, dest));
    }
    Cursor action = FindKey("/A", open + 2, close);
    if (!action) return false;
    action += 2;
    Cursor actionOpen, actionClose;
    if (!SkipWhiteAndComments(action, close) || !ResolveDict(doc, action, actionOpen, actionClose)) return false;
    if (!NameValueIs(actionOpen + 2, actionClose, "/S", "/GoTo")) return false;
    Cursor d = FindKey("/D", actionOpen + 2, actionClose);
    if (d) d += 2;
    return !(d && SkipWhiteAndComments(d, actionClose) && keeper.Keeps(job, doc, d));
}

// Blanks the internal links among the elements of an /Annots array (p just
// after "["), leaving the others and the array's length as they are. p moves
// after "]"; gone counts the elements blanked, and allGone tells whether the
// array had elements and lost them all. false for an element that is neither
// a dictionary nor a reference.
bool FilterAnnotsArray(Job& job, const Document& doc, uint8_t* image, Cursor& p, int& gone, bool& allGone,
                       LinkKeeper& keeper) {
    const Cursor end = doc.end();
    int elements = 0;
    gone = 0;
    for (;;) {
        if (!SkipWhiteAndComments(p, end)) return false;
        if (*p == ']') {
            ++p;
            allGone = elements > 0 && gone == elements;
            return true;
        }
        Cursor element = p;
        if (*p == '<') {
            if (!StepOverDict(p, end)) return false;
        } else {
            int32_t number, generation;
            if (!ReadReference(p, end, number, generation)) return false;
        }
        ++elements;
        Cursor open, close;
        // An annotation that cannot be found stays: the page file holds null
        // in its place.
        if (ResolveDict(doc, element, open, close) && IsInternalLink(job, doc, open, close, keeper)) {
            std::memset(image + (element - doc.start()), ' ', static_cast<size_t>(p - element));
            ++gone;
        }
    }
}

// What filtering did to an /Annots array held in an object of its own, by
// object number: several pages may share one, and once filtered its internal
// links are spaces, so it is filtered once and remembered.
using FilteredArrays = std::unordered_map<int32_t, bool>;

// Filters the /Annots value whose key ends at p: blanks its internal links,
// and the whole entry (from key) when all of them go. The number of elements
// blanked, or -1 when the value is malformed; p moves past what was examined.
int FilterAnnotsEntry(Job& job, const Document& doc, uint8_t* image, Cursor key, Cursor& p,
                      FilteredArrays& filtered, LinkKeeper& keeper) {
    const Cursor end = doc.end();
    Cursor q = p;
    if (!SkipWhiteAndComments(q, end)) return -1;
    bool allGone = false;
    int gone = 0;
    if (*q == '[') {
        ++q;
        if (!FilterAnnotsArray(job, doc, image, q, gone, allGone, keeper)) return -1;
    } else if (IsDigit(*q)) {
        int32_t number, generation;
        if (!ReadReference(q, end, number, generation)) return -1;
        auto known = filtered.find(number);
        if (known != filtered.end()) {
            allGone = known->second;
        } else {
            Cursor array = FindObject(doc.table, doc.start(), end, number, generation).value_or(nullptr);
            if (array && *array == '[') {
                ++array;
                if (!FilterAnnotsArray(job, doc, image, array, gone, allGone, keeper)) allGone = false;
            }
            filtered[number] = allGone;
        }
    } else {
        return 0;
    }
    if (allGone) std::memset(image + (key - doc.start()), ' ', static_cast<size_t>(q - key));
    p = q;
    return gone;
}

enum class Entry { Blanked, Kept, Malformed };

// The value of an /Annots (annots true) or /B key whose name ends at p:
// blanks from the key through the value's last byte when the value has the
// expected form. p moves past what was examined.
Entry BlankEntry(uint8_t* image, Cursor key, Cursor& p, Cursor end, bool annots) {
    Cursor q = p;
    if (!SkipWhiteAndComments(q, end)) return Entry::Malformed;
    Cursor valueEnd = nullptr;
    if (*q == '[') {
        Cursor r = q + 1;
        bool ok = annots ? StepOverAnnotsArray(r, end) : StepOverBeadArray(r, end);
        if (!ok) return Entry::Malformed;
        valueEnd = r;
    } else if (IsDigit(*q)) {
        Cursor r = q;
        if (!StepOverReference(r, end)) return Entry::Malformed;
        valueEnd = r;
    } else {
        return Entry::Kept;
    }
    std::memset(image + (key - image), ' ', static_cast<size_t>(valueEnd - key));
    p = valueEnd;
    return Entry::Blanked;
}

// Blanks the entries of one page dictionary; returns the number of entries
// blanked or filtered.
int BlankPage(Job& job, const Document& doc, uint8_t* image, Cursor body, bool keepAnnotations,
              FilteredArrays& filtered, LinkKeeper& keeper) {
    const Cursor end = doc.end();
    int blanked = 0;
    int depth = 0;
    Cursor p = body;
    // The walk stops where fewer than 7 bytes remain before a token.
    for (;;) {
        Cursor at;
        const Token token = StepToken(p, end, at);
        if (token == Token::End || token == Token::Unclosed || end - at < 7) break;
        if (token == Token::DictOpen) {
            ++depth;
        } else if (token == Token::DictClose) {
            --depth;
        } else if (token == Token::Word && std::memcmp(at, "endobj", 6) == 0) {
            return blanked;
        } else if (token == Token::Name) {
            const Cursor key = at;
            const Cursor nameEnd = p;
            size_t length = static_cast<size_t>(nameEnd - key);
            bool annots = length == 7 && std::memcmp(key, "/Annots", 7) == 0;
            bool beads = length == 2 && key[1] == 'B';
            if (depth != 1 || !(annots || beads) || nameEnd >= end) continue;
            uint8_t after = *nameEnd;
            if (!(IsWhite(after) || after == '%' || after == '[')) continue;
            if (annots && keepAnnotations) {
                const int gone = FilterAnnotsEntry(job, doc, image, key, p, filtered, keeper);
                if (gone < 0) return blanked;
                blanked += gone;
                continue;
            }
            Entry e = BlankEntry(image, key, p, end, annots);
            if (e == Entry::Malformed) return blanked;
            if (e == Entry::Blanked) ++blanked;
        }
    }
    return blanked;
}

}  // namespace

int BlankPageAnnots(Job& job, Document& doc, bool keepAnnotations, const std::vector<int32_t>* partOf) {
    int blanked = 0;
    uint8_t* image = doc.image.data();
    FilteredArrays filtered;
    LinkKeeper keeper;
    keeper.partOf = partOf;
    // Later pages of the list win, as in the outline analysis.
    for (size_t k = 0; k < doc.pages.size(); ++k) keeper.pageIndex.Insert(doc.pages[k].number, static_cast<int32_t>(k));
    for (size_t k = 0; k < doc.pages.size(); ++k) {
        const PageEntry& page = doc.pages[k];
        Cursor body = FindObject(doc.table, doc.start(), doc.end(), page.number, page.generation).value_or(nullptr);
        if (!body) break;
        keeper.page = static_cast<int32_t>(k);
        blanked += BlankPage(job, doc, image, body, keepAnnotations, filtered, keeper);
    }
    return blanked > 0 ? 1 : 0;
}

}  // namespace brisel
