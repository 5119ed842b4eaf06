#include "pagewriter/page_objects.h"

#include <cstring>
#include <string_view>

#include "pdfread/xref_table.h"
#include "pagewriter/page_document.h"
#include "pagewriter/reference_scan.h"

namespace brisel {

namespace {

std::string_view BytesOf(Cursor from, Cursor to) {
    return {reinterpret_cast<const char*>(from), static_cast<size_t>(to - from)};
}

void Append(std::string& out, Cursor from, Cursor to) {
    if (to > from) out.append(reinterpret_cast<const char*>(from), static_cast<size_t>(to - from));
}

// Writes one inherited attribute into the page dictionary, copying what its
// value reaches into the closure.
Failure WriteInherited(const Document& doc, PageClosure& closure, int bit, int32_t holder, std::string& out) {
    const Cursor end = doc.end();
    const XrefEntry* listed = doc.table.Find(holder);
    Cursor body = listed ? FindObject(doc.table, doc.start(), end, holder, listed->generation).value_or(nullptr) : nullptr;
    if (!body || !StartsWith(body, end, "<<")) return Failure(kInheritedHolderNotDict, holder, -1);
    Cursor dictEnd = FindDictEnd(body + 2, end);
    const char* name = kInheritKeys[bit];
    Cursor key = dictEnd ? FindKey(name, body + 2, dictEnd) : nullptr;
    if (!key) return Failure(kInheritedKeyMissing, holder, -1);
    Cursor value = key + std::strlen(name);
    Cursor q = value;
    if (!SkipWhiteAndComments(q, end)) return Failure(kInheritedKeyMissing, holder, -1);

    int32_t number, generation;
    Cursor r = q;
    if (ReadReference(r, end, number, generation)) {
        if (closure.WalkObject(number, generation) < 0) return Failure(kInheritedReferenceWalk, holder, -1);
        int32_t index = closure.IndexOf(number);
        out += name;
        if (index < 0) {
            out += " null\n";
        } else {
            out += ' ';
            out += std::to_string(closure.entries()[static_cast<size_t>(index)].newNumber);
            out += " 0 R\n";
        }
        return {};
    }
    switch (bit) {
        case 0: {  // a direct /Resources dictionary
            if (!StartsWith(q, end, "<<")) return Failure(kInheritedResourcesNotDict, holder, -1);
            Cursor close = FindDictEnd(q + 2, end);
            if (!close) return Failure(kInheritedResourcesNotDict, holder, -1);
            int range = closure.WalkRange(q + 2, close);
            if (range < 0) return Failure(kInheritedResourcesWalk, holder, -1);
            out += name;
            closure.CopyWithReferences(range, value, close, "null", out);
            out += ">>\n";
            return {};
        }
        case 1:
        case 2: {  // a box: the array up to its "]"
            if (*q != '[') return {};
            Cursor close = static_cast<Cursor>(std::memchr(q, ']', static_cast<size_t>(end - q)));
            if (!close) return Failure(kInheritedBoxNotClosed, holder, -1);
            out += name;
            Append(out, value, close);
            out += "]\n";
            return {};
        }
        default: {  // /Rotate: a number
            Cursor p = q;
            if (p < end && (*p == '-' || *p == '+')) ++p;
            if (p >= end || !IsDigit(*p)) return {};
            while (p < end && IsDigit(*p)) ++p;
            out += name;
            Append(out, value, p);
            out += "\n";
            return {};
        }
    }
}

}  // namespace

Failure WritePageObject(const Document& doc, const PageEntry& page, int32_t k, PageClosure& closure,
                     std::string& out) {
    Cursor body = closure.entries()[static_cast<size_t>(k)].body;
    if (!StartsWith(body, doc.end(), "<<")) return Failure(kPageNotDict, page.number, -1);
    Cursor dictEnd = FindDictEnd(body + 2, doc.end());
    if (!dictEnd) return Failure(kPageNotDict, page.number, -1);
    out += std::to_string(closure.entries()[static_cast<size_t>(k)].newNumber) + " 0 obj\n";
    // A page whose /Type is missing or damaged (the tree names it, or its
    // kind was found by scanning) is written as the page it is.
    Cursor type = FindKey("/Type", body + 2, dictEnd);
    Cursor value = type ? type + 5 : nullptr;
    Cursor valueEnd = value;
    if (value && SkipWhiteAndComments(value, dictEnd) && *value == '/') {
        valueEnd = value + 1;
        while (valueEnd < dictEnd && !IsNumberTerminator(*valueEnd)) ++valueEnd;
    }
    if (!type) {
        closure.CopyWithReferences(k, body, dictEnd, "2 0 R", out);
        out += "/Type /Page\n";
    } else if (valueEnd > value && BytesOf(value, valueEnd) != "/Page") {
        closure.CopyWithReferences(k, body, value, "2 0 R", out);
        out += "/Page";
        closure.CopyWithReferences(k, valueEnd, dictEnd, "2 0 R", out);
    } else {
        closure.CopyWithReferences(k, body, dictEnd, "2 0 R", out);
    }
    for (int bit = 0; bit < 4; ++bit)
        if (page.mask & (1 << bit))
            if (Failure f = WriteInherited(doc, closure, bit, page.holders[bit], out)) return f;
    // A page found by scanning that neither holds nor inherits a media box
    // gets the usual one.
    if (page.scanned && !(page.mask & kInheritMediaBox) && !FindKey("/MediaBox", body + 2, dictEnd))
        out += "/MediaBox [0 0 612 792]\n";
    out += ">>\nendobj\n";
    return {};
}

}  // namespace brisel
