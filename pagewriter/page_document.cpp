#include "pagewriter/page_document.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "base/platform.h"
#include "pagewriter/bookmark_tree.h"
#include "pagewriter/catalog.h"
#include "pagewriter/closure.h"
#include "pagewriter/reference_scan.h"

namespace brisel {

namespace {

constexpr const char* kProducer = "Brisel Ver 2.22";

// Stores the code of a failed step; false for the step's result.
bool Refuse(Job& job, int32_t code) {
    job.LastError = code;
    return false;
}

void Append(std::string& out, Cursor from, Cursor to) {
    if (to > from) out.append(reinterpret_cast<const char*>(from), static_cast<size_t>(to - from));
}

// The input's header: leading white space, the "%PDF-" line and, when the
// next line is a comment (the binary marker), that line too.
bool CopyHeader(Job& job, const Document& doc, std::string& out) {
    const Cursor start = doc.start(), end = doc.end();
    Cursor p = start;
    while (p < end && IsWhite(*p)) ++p;
    if (p >= end) return Refuse(job, -302);
    if (!StartsWith(p, end, "%PDF-")) return Refuse(job, -303);
    for (int line = 0; line < 2; ++line) {
        while (p < end && !IsLineEnd(*p)) ++p;
        if (p >= end) return Refuse(job, line == 0 ? -304 : -307);
        while (p < end && IsLineEnd(*p)) ++p;
        if (p >= end) return Refuse(job, line == 0 ? -305 : -308);
        if (*p != '%') break;
    }
    Append(out, start, p);
    return true;
}

// The producer as a literal string: UTF-16BE with its byte-order mark, every
// byte as an octal escape.
std::string MakeProducerText() {
    std::string text;
    auto escape = [&](unsigned byte) {
        char octal[8];
        std::snprintf(octal, sizeof octal, "\\%o", byte);
        text += octal;
    };
    escape(0xFE);
    escape(0xFF);
    for (const char* c = kProducer; *c; ++c) {
        escape(0);
        escape(static_cast<unsigned char>(*c));
    }
    return text;
}
const std::string& ProducerText() {
    static const std::string text = MakeProducerText();
    return text;
}

// Writes one inherited attribute into the page dictionary, copying what its
// value reaches into the closure.
bool WriteInherited(Job& job, const Document& doc, PageClosure& closure, int bit, int32_t holder,
                    std::string& out) {
    const Cursor end = doc.end();
    const XrefEntry* listed = doc.table.Find(holder);
    Cursor body = listed ? FindObject(job, doc.table, doc.start(), end, holder, listed->generation) : nullptr;
    if (!body || !StartsWith(body, end, "<<")) return Refuse(job, -250);
    Cursor dictEnd = FindDictEnd(body + 2, end);
    const char* name = kInheritKeys[bit];
    Cursor key = dictEnd ? FindKey(job, name, body + 2, dictEnd) : nullptr;
    if (!key) return Refuse(job, -251);
    Cursor value = key + std::strlen(name);
    Cursor q = value;
    if (!SkipWhiteAndComments(q, end)) return Refuse(job, -251);

    int32_t number, generation;
    Cursor r = q;
    if (ReadReference(r, end, number, generation)) {
        if (closure.WalkObject(number, generation) < 0) return Refuse(job, -254);
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
            if (!StartsWith(q, end, "<<")) return Refuse(job, -252);
            Cursor close = FindDictEnd(q + 2, end);
            if (!close) return Refuse(job, -252);
            int range = closure.WalkRange(q + 2, close);
            if (range < 0) return Refuse(job, -253);
            out += name;
            closure.CopyWithReferences(range, value, close, "null", out);
            out += ">>\n";
            return true;
        }
        case 1:
        case 2: {  // a box: the array up to its "]"
            if (*q != '[') return true;
            Cursor close = static_cast<Cursor>(std::memchr(q, ']', static_cast<size_t>(end - q)));
            if (!close) return Refuse(job, -255);
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

// Object 3: the page dictionary with references renumbered, /Parent naming
// the page file's Pages object, and the inherited attributes added.
bool WritePageObject(Job& job, const Document& doc, const PageEntry& page, PageClosure& closure,
                     std::string& out) {
    Cursor body = closure.entries()[0].body;
    if (!StartsWith(body, doc.end(), "<<")) return Refuse(job, -232);
    Cursor dictEnd = FindDictEnd(body + 2, doc.end());
    if (!dictEnd) return Refuse(job, -232);
    out += std::to_string(closure.entries()[0].newNumber) + " 0 obj\n";
    closure.CopyWithReferences(0, body, dictEnd, "2 0 R", out);
    for (int bit = 0; bit < 4; ++bit)
        if ((page.mask & (1 << bit)) && !WriteInherited(job, doc, closure, bit, page.holders[bit], out)) return false;
    out += ">>\nendobj\n";
    return true;
}

// Header, Pages object, page and closure, catalog, bookmarks, information
// dictionary, cross-reference table and trailer.
bool BuildPlain(Job& job, int32_t pageIndex, const Document& doc, std::string& out) {
    if (pageIndex < 0 || static_cast<size_t>(pageIndex) >= doc.pages.size()) return Refuse(job, -215);
    const PageEntry& page = doc.pages[static_cast<size_t>(pageIndex)];
    size_t estimate = doc.image.size() * 2 / static_cast<size_t>(job.PageCount > 0 ? job.PageCount : 1);
    if (out.capacity() < 32768) out.reserve(std::max<size_t>(32768, std::min(estimate, doc.image.size())));

    std::vector<size_t> offsets(3, 0);  // by object number
    if (!CopyHeader(job, doc, out)) return false;
    offsets[2] = out.size();
    out += "2 0 obj\n<<\n/Type /Pages\n/Kids [ 3 0 R ]\n/Count 1\n>>\nendobj\n";

    PageClosure closure(job, doc, 3);
    int walked = closure.WalkObject(page.number, page.generation);
    if (walked < 0 || closure.entries().empty()) return job.Stopped() ? false : Refuse(job, -315);
    offsets.push_back(out.size());
    if (!WritePageObject(job, doc, page, closure, out)) return job.Stopped() ? false : Refuse(job, -315);
    for (size_t i = 1; i < closure.entries().size(); ++i) {
        const PageClosure::Entry& e = closure.entries()[i];
        if (e.newNumber == 0) continue;  // a direct dictionary, written with its owner
        offsets.push_back(out.size());
        out += std::to_string(e.newNumber) + " 0 obj\n";
        closure.CopyWithReferences(static_cast<int>(i), e.body, e.bodyEnd, "null", out);
        out += "endobj\n";
    }
    if (job.Stopped()) return false;

    int32_t next = closure.nextNumber();
    std::vector<int32_t> bookmarks = SelectPageBookmarks(job, doc, pageIndex);
    offsets[1] = out.size();
    if (!WriteCatalog(job, doc, bookmarks.empty() ? 0 : next, out)) return false;
    if (!bookmarks.empty()) {
        next = WriteBookmarkTree(job, doc, bookmarks, next, out, offsets);
        if (next < 0) return false;
    }

    const int32_t info = next;
    if (offsets.size() != static_cast<size_t>(info)) return Refuse(job, -317);
    offsets.push_back(out.size());
    CalendarTime t = UtcNow();
    char date[32];
    std::snprintf(date, sizeof date, "%04d%02d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
    out += std::to_string(info) + " 0 obj\n<<\n/CreationDate (D:" + date + ")\n/Producer (" + ProducerText() +
           ")\n>>\nendobj\n";

    const size_t xref = out.size();
    out += "xref\n0 " + std::to_string(info + 1) + "\n0000000000 65535 f \n";
    for (int32_t n = 1; n <= info; ++n) {
        // "%010d 00000 n \n", formatted by hand: one line per object.
        size_t offset = offsets[static_cast<size_t>(n)];
        if (offset > 9999999999ull) return Refuse(job, -318);
        char line[21] = "0000000000 00000 n \n";
        for (int i = 9; offset; --i, offset /= 10) line[i] = static_cast<char>('0' + offset % 10);
        out.append(line, 20);
    }
    out += "trailer\n<<\n/Size " + std::to_string(info + 1) + "\n/Root 1 0 R\n/Info " + std::to_string(info) +
           " 0 R\n>>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return true;
}

}  // namespace

int BuildPageDocument(Job& job, int32_t pageIndex, const Document& doc, std::string& out,
                      PageEncryption* encryption) {
    out.clear();
    try {
        if (!BuildPlain(job, pageIndex, doc, out)) return 0;
        if (doc.reader.encrypted) {
            Block image;
            if (!image.Assign(reinterpret_cast<const uint8_t*>(out.data()), out.size())) return Refuse(job, -300), 0;
            out.clear();
            if (!encryption || encryption->EncryptPage(job, image) != 0) {
                if (job.LastError == 0) job.LastError = -1;
                return 0;
            }
            out.assign(reinterpret_cast<const char*>(image.data()), image.size());
        }
    } catch (const std::bad_alloc&) {
        out.clear();
        job.LastError = -300;
        return 0;
    }
    return 1;
}

}  // namespace brisel
