#include "pagewriter/page_objects.h"

#include <cstring>
#include <string_view>

#include "docstruct/job_reads.h"
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
bool WriteInherited(Job& job, const Document& doc, PageClosure& closure, int bit, int32_t holder,
                    std::string& out) {
    const Cursor end = doc.end();
    const XrefEntry* listed = doc.table.Find(holder);
    Cursor body = listed ? FindObject(job, doc.table, doc.start(), end, holder, listed->generation) : nullptr;
    if (!body || !StartsWith(body, end, "<<")) return Fail(job, kInheritedHolderNotDict, false);
    Cursor dictEnd = FindDictEnd(body + 2, end);
    const char* name = kInheritKeys[bit];
    Cursor key = dictEnd ? FindKey(name, body + 2, dictEnd) : nullptr;
    if (!key) return Fail(job, kInheritedKeyMissing, false);
    Cursor value = key + std::strlen(name);
    Cursor q = value;
    if (!SkipWhiteAndComments(q, end)) return Fail(job, kInheritedKeyMissing, false);

    int32_t number, generation;
    Cursor r = q;
    if (ReadReference(r, end, number, generation)) {
        if (closure.WalkObject(number, generation) < 0) return Fail(job, kInheritedReferenceWalk, false);
        int32_t index = closure.IndexOf(number);
        out += name;
        if (index < 0) {
            out += " null\n";
        } else {
            out += ' ';
            out += std::to_string(closure.entries()[static_cast<size_t>(index)].newNumber);
            out += " 0 R\n";
        }
        return true;
    }
    switch (bit) {
        case 0: {  // a direct /Resources dictionary
            if (!StartsWith(q, end, "<<")) return Fail(job, kInheritedResourcesNotDict, false);
            Cursor close = FindDictEnd(q + 2, end);
            if (!close) return Fail(job, kInheritedResourcesNotDict, false);
            int range = closure.WalkRange(q + 2, close);
            if (range < 0) return Fail(job, kInheritedResourcesWalk, false);
            out += name;
            closure.CopyWithReferences(range, value, close, "null", out);
            out += ">>\n";
            return true;
        }
        case 1:
        case 2: {  // a box: the array up to its "]"
            if (*q != '[') return true;
            Cursor close = static_cast<Cursor>(std::memchr(q, ']', static_cast<size_t>(end - q)));
            if (!close) return Fail(job, kInheritedBoxNotClosed, false);
            out += name;
            Append(out, value, close);
            out += "]\n";
            return true;
        }
        default: {  // /Rotate: a number
            Cursor p = q;
            if (p < end && (*p == '-' || *p == '+')) ++p;
            if (p >= end || !IsDigit(*p)) return true;
            while (p < end && IsDigit(*p)) ++p;
            out += name;
            Append(out, value, p);
            out += "\n";
            return true;
        }
    }
}

}  // namespace

bool WritePageObject(Job& job, const Document& doc, const PageEntry& page, int32_t k, PageClosure& closure,
                     std::string& out) {
    Cursor body = closure.entries()[static_cast<size_t>(k)].body;
    if (!StartsWith(body, doc.end(), "<<")) return Fail(job, kPageNotDict, false);
    Cursor dictEnd = FindDictEnd(body + 2, doc.end());
    if (!dictEnd) return Fail(job, kPageNotDict, false);
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
        if ((page.mask & (1 << bit)) && !WriteInherited(job, doc, closure, bit, page.holders[bit], out)) return false;
    // A page found by scanning that neither holds nor inherits a media box
    // gets the usual one.
    if (page.scanned && !(page.mask & kInheritMediaBox) && !FindKey("/MediaBox", body + 2, dictEnd))
        out += "/MediaBox [0 0 612 792]\n";
    out += ">>\nendobj\n";
    return true;
}

}  // namespace brisel
