#include "pagewriter/page_document.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "base/platform.h"
#include "base/version.h"
#include "pagewriter/bookmark_tree.h"
#include "pagewriter/catalog.h"
#include "pagewriter/closure.h"
#include "pagewriter/reference_scan.h"
#include "pdfread/stream_length.h"
#include "pdfread/xref_section.h"

namespace brisel {

namespace {

void Append(std::string& out, Cursor from, Cursor to) {
    if (to > from) out.append(reinterpret_cast<const char*>(from), static_cast<size_t>(to - from));
}

// A header for an input whose first line is no PDF header (damaged bytes):
// the version that line still shows ("-1.5" of a damaged "%PDF-1.5"), else
// 1.7, and a binary marker.
void WriteOwnHeader(Cursor p, Cursor end, std::string& out) {
    std::string version = "1.7";
    for (int i = 0; i < 16 && p + 3 < end && !IsLineEnd(*p); ++i, ++p) {
        if (*p == '-' && (p[1] == '1' || p[1] == '2') && p[2] == '.' && p[3] >= '0' && p[3] <= '9') {
            version.assign(reinterpret_cast<const char*>(p + 1), 3);
            break;
        }
    }
    out += "%PDF-" + version + "\n%\xE2\xE3\xCF\xD3\n";
}

// The input's header: leading white space, the "%PDF-" line and, when the
// next line is a comment (the binary marker), that line too.
bool CopyHeader(Job& job, const Document& doc, std::string& out) {
    const Cursor start = doc.start(), end = doc.end();
    Cursor p = start;
    while (p < end && IsWhite(*p)) ++p;
    if (p >= end) return Fail(job, kPageHeaderEnd, false);
    if (!StartsWith(p, end, "%PDF-")) {
        WriteOwnHeader(p, end, out);
        return true;
    }
    for (int line = 0; line < 2; ++line) {
        while (p < end && !IsLineEnd(*p)) ++p;
        if (p >= end) return Fail(job, line == 0 ? kPageHeaderLineEnd : kPageMarkerLineEnd, false);
        while (p < end && IsLineEnd(*p)) ++p;
        if (p >= end) return Fail(job, line == 0 ? kPageHeaderEndAfterLine : kPageMarkerEndAfterLine, false);
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
    for (const char* c = kVersionText; *c; ++c) {
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
    if (!body || !StartsWith(body, end, "<<")) return Fail(job, kInheritedHolderNotDict, false);
    Cursor dictEnd = FindDictEnd(body + 2, end);
    const char* name = kInheritKeys[bit];
    Cursor key = dictEnd ? FindKey(job, name, body + 2, dictEnd) : nullptr;
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

// Object 3: the page dictionary with references renumbered, /Parent naming
// the page file's Pages object, and the inherited attributes added.
bool WritePageObject(Job& job, const Document& doc, const PageEntry& page, PageClosure& closure,
                     std::string& out) {
    Cursor body = closure.entries()[0].body;
    if (!StartsWith(body, doc.end(), "<<")) return Fail(job, kPageNotDict, false);
    Cursor dictEnd = FindDictEnd(body + 2, doc.end());
    if (!dictEnd) return Fail(job, kPageNotDict, false);
    out += std::to_string(closure.entries()[0].newNumber) + " 0 obj\n";
    closure.CopyWithReferences(0, body, dictEnd, "2 0 R", out);
    for (int bit = 0; bit < 4; ++bit)
        if ((page.mask & (1 << bit)) && !WriteInherited(job, doc, closure, bit, page.holders[bit], out)) return false;
    out += ">>\nendobj\n";
    return true;
}

// The catalog's /OCProperties entry of the page file, with what it reaches
// added to the closure: without it a reader draws every layer, also those
// the input hides. Nothing when the input has none or it is not a dictionary.
bool WalkLayers(const Document& doc, PageClosure& closure, std::string& entry) {
    if (doc.ocProperties < 0 || doc.ocProperties >= static_cast<int64_t>(doc.image.size())) return true;
    const Cursor end = doc.end();
    Cursor value = doc.start() + doc.ocProperties;
    int32_t number, generation;
    Cursor r = value;
    if (ReadReference(r, end, number, generation)) {
        if (closure.WalkObject(number, generation) < 0) return false;
        int32_t index = closure.IndexOf(number);
        if (index >= 0)
            entry = "/OCProperties " + std::to_string(closure.entries()[static_cast<size_t>(index)].newNumber) +
                    " 0 R\n";
        return true;
    }
    if (!StartsWith(value, end, "<<")) return true;
    Cursor close = FindDictEnd(value + 2, end);
    if (!close) return true;
    int range = closure.WalkRange(value + 2, close);
    if (range < 0) return false;
    entry = "/OCProperties ";
    closure.CopyWithReferences(range, value, close + 2, "null", entry);
    entry += "\n";
    return true;
}

// Where the objects of a page file go: straight into the file, or, for an
// encrypted input, through the encryption one object at a time, so that the
// file is encrypted as it is assembled.
struct ObjectWriter {
    Job& job;
    const Document& doc;
    std::string& out;
    PageEncryption* encryption;
    std::string scratch;

    // The string an object's text is written into.
    std::string& Target() { return encryption ? scratch : out; }
    // The object's text is complete: encrypted into the file when it must be.
    bool Finish(int32_t number) {
        if (!encryption) return true;
        const int r = encryption->AppendText(job, number, scratch, out);
        scratch.clear();
        return r == 0;
    }

    // A stream object of the closure, encrypted: its dictionary with the
    // length the encrypted data has, the data, and "endstream".
    bool WriteEncryptedStream(const PageClosure& closure, size_t index) {
        const PageClosure::Entry& e = closure.entries()[index];
        Cursor data = e.streamKeywordEnd;
        if (data < doc.end() && *data == '\r') ++data;
        if (data < doc.end() && *data == '\n') ++data;
        LengthText lengthText;
        const int64_t length = StreamLength(job, e.body, data, doc.start(), doc.end(), doc.table, &lengthText);
        job.LastError = 0;
        if (length < 0 || length > doc.end() - data) return Fail(job, kPageStreamLength, false);
        bool metadata = false;
        if (encryption->KeepsMetadataPlain() && StartsWith(e.body, doc.end(), "<<")) {
            Cursor close = FindDictEnd(e.body + 2, doc.end());
            Cursor type = close ? FindKey(job, "/Type", e.body + 2, close) : nullptr;
            job.LastError = 0;
            if (type) {
                Cursor v = type + 5;
                metadata = SkipWhiteAndComments(v, close) && StartsWith(v, close, "/Metadata") &&
                           (v + 9 == close || IsNumberTerminator(v[9]));
            }
        }
        std::vector<uint8_t> coded;
        if (encryption->EncryptStreamData(job, e.newNumber, data, static_cast<size_t>(length), metadata, coded) != 0)
            return false;
        scratch += std::to_string(e.newNumber) + " 0 obj\n";
        const int i = static_cast<int>(index);
        if (!lengthText.indirect || coded.size() != static_cast<size_t>(length)) {
            closure.CopyWithReferences(i, e.body, lengthText.from, "null", scratch);
            scratch += std::to_string(coded.size());
            closure.CopyWithReferences(i, lengthText.to, data, "null", scratch);
        } else {
            closure.CopyWithReferences(i, e.body, data, "null", scratch);
        }
        if (!Finish(e.newNumber)) return false;
        out.append(reinterpret_cast<const char*>(coded.data()), coded.size());
        if (out.back() != '\n' && out.back() != '\r') out += '\n';
        out += "endstream\nendobj\n";
        return true;
    }
};

// Header, Pages object, page and closure, catalog, bookmarks, information
// dictionary, cross-reference table and trailer. An encrypted page file has
// its objects in number order, the encryption dictionary after them, and
// names it and the document identifier in the trailer.
bool Build(Job& job, int32_t pageIndex, const Document& doc, std::string& out, PageEncryption* encryption) {
    if (pageIndex < 0 || static_cast<size_t>(pageIndex) >= doc.pages.size()) return Fail(job, kPageNotListed, false);
    const PageEntry& page = doc.pages[static_cast<size_t>(pageIndex)];
    size_t estimate = doc.image.size() * 2 / static_cast<size_t>(job.PageCount > 0 ? job.PageCount : 1);
    if (out.capacity() < 32768) out.reserve(std::max<size_t>(32768, std::min(estimate, doc.image.size())));
    ObjectWriter writer{job, doc, out, encryption, {}};

    std::vector<size_t> offsets(3, 0);  // by object number
    if (!CopyHeader(job, doc, out)) return false;
    const size_t headerEnd = out.size();
    offsets[2] = out.size();
    writer.Target() += "2 0 obj\n<<\n/Type /Pages\n/Kids [ 3 0 R ]\n/Count 1\n>>\nendobj\n";
    if (!writer.Finish(2)) return false;

    PageClosure closure(job, doc, 3);
    int walked = closure.WalkObject(page.number, page.generation);
    if (walked < 0 || closure.entries().empty()) return job.Stopped() ? false : Fail(job, kPageClosureFailed, false);
    offsets.push_back(out.size());
    if (!WritePageObject(job, doc, page, closure, writer.Target()))
        return job.Stopped() ? false : Fail(job, kPageClosureFailed, false);
    if (!writer.Finish(closure.entries()[0].newNumber)) return false;
    std::string layers;
    if (!WalkLayers(doc, closure, layers)) return job.Stopped() ? false : Fail(job, kPageClosureFailed, false);
    for (size_t i = 1; i < closure.entries().size(); ++i) {
        const PageClosure::Entry& e = closure.entries()[i];
        if (e.newNumber == 0) continue;  // a direct dictionary, written with its owner
        offsets.push_back(out.size());
        if (encryption && e.streamKeywordEnd) {
            if (!writer.WriteEncryptedStream(closure, i)) return false;
            continue;
        }
        std::string& text = writer.Target();
        text += std::to_string(e.newNumber) + " 0 obj\n";
        closure.CopyWithReferences(static_cast<int>(i), e.body, e.bodyEnd, "null", text);
        text += "endobj\n";
        if (!writer.Finish(e.newNumber)) return false;
    }
    if (job.Stopped()) return false;

    int32_t next = closure.nextNumber();
    std::vector<int32_t> bookmarks = SelectPageBookmarks(job, doc, pageIndex);
    const size_t catalogStart = out.size();
    offsets[1] = out.size();
    if (!WriteCatalog(job, doc, bookmarks.empty() ? 0 : next, layers, writer.Target())) return false;
    if (!writer.Finish(1)) return false;
    if (encryption) {
        // The catalog goes first, as object 1; the objects before it move.
        const size_t length = out.size() - catalogStart;
        std::rotate(out.begin() + static_cast<ptrdiff_t>(headerEnd), out.begin() + static_cast<ptrdiff_t>(catalogStart),
                    out.end());
        for (size_t n = 2; n < offsets.size(); ++n) offsets[n] += length;
        offsets[1] = headerEnd;
    }
    if (!bookmarks.empty()) {
        const size_t first = offsets.size();
        const int32_t firstNumber = next;
        next = WriteBookmarkTree(job, doc, bookmarks, next, writer.Target(), offsets);
        if (next < 0) return false;
        if (encryption) {
            // Each bookmark object encrypted with its own key.
            const std::string text = std::move(writer.scratch);
            writer.scratch.clear();
            for (size_t k = first; k < offsets.size(); ++k) {
                const size_t from = offsets[k];
                const size_t to = k + 1 < offsets.size() ? offsets[k + 1] : text.size();
                offsets[k] = out.size();
                writer.scratch.assign(text, from, to - from);
                if (!writer.Finish(firstNumber + static_cast<int32_t>(k - first))) return false;
            }
        }
    }

    const int32_t info = next;
    if (offsets.size() != static_cast<size_t>(info)) return Fail(job, kPageInfoNumber, false);
    offsets.push_back(out.size());
    CalendarTime t = UtcNow();
    char date[32];
    std::snprintf(date, sizeof date, "%04d%02d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
    writer.Target() += std::to_string(info) + " 0 obj\n<<\n/CreationDate (D:" + date + ")\n/Producer (" +
                       ProducerText() + ")\n>>\nendobj\n";
    if (!writer.Finish(info)) return false;
    const int32_t last = encryption ? info + 1 : info;
    if (encryption) {
        offsets.push_back(out.size());
        encryption->AppendDictionary(last, out);
    }

    const size_t xref = out.size();
    // An offset beyond ten digits would not fit its 20-byte line.
    if (xref > 9999999999ull) return Fail(job, kPageXrefTooFar, false);
    auto append = [&](const char* text, size_t length) {
        out.append(text, length);
        return true;
    };
    WriteXrefTable(append, last + 1, [&](int32_t n, int64_t& offset, int64_t&, char&) {
        offset = static_cast<int64_t>(offsets[static_cast<size_t>(n)]);
    });
    if (encryption) {
        out += "trailer\n<<\n/Size " + std::to_string(last + 1) + "\n/Root 1 0 R\n/Info " + std::to_string(info) +
               " 0 R\n/Encrypt " + std::to_string(last) + " 0 R\n";
        encryption->AppendFileId(out);
        out += ">>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
        return true;
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
        if (doc.reader.encrypted && !encryption) return Fail(job, kPageEncryptionMissing, 0);
        if (!Build(job, pageIndex, doc, out, doc.reader.encrypted ? encryption : nullptr)) {
            // Nothing plain may be saved in place of an encrypted page.
            out.clear();
            if (doc.reader.encrypted && job.LastError == 0 && !job.Stopped()) job.LastError = kPageEncryptionMissing;
            return 0;
        }
    } catch (const std::bad_alloc&) {
        out.clear();
        job.LastError = kPageNoMemory;
        return 0;
    }
    return 1;
}

}  // namespace brisel
