#include "docstruct/annots.h"

#include <cstring>

namespace brisel {

namespace {

// "N G R" at p; on success p is just after "R".
bool StepOverReference(Job& job, Cursor& p, Cursor end) {
    Cursor q = p;
    if (ReadInt(job, q, end) < 0 || ReadInt(job, q, end) < 0) return false;
    if (!SkipWhiteAndComments(q, end) || *q != 'R') return false;
    p = q + 1;
    return true;
}

// Steps over the elements of an /Annots array (p just after "["): inline
// dictionaries and references. false for any other element.
bool StepOverAnnotsArray(Job& job, Cursor& p, Cursor end) {
    for (;;) {
        if (!SkipWhiteAndComments(p, end)) return false;
        if (*p == ']') {
            ++p;
            return true;
        }
        if (*p == '<' || (p + 1 < end && p[1] == '<')) {
            if (end - p < 2) return false;
            Cursor close = FindDictEnd(p + 2, end);
            if (!close) return false;
            p = close + 2;
        } else if (!StepOverReference(job, p, end)) {
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

enum class Entry { Blanked, Kept, Malformed };

// The value of an /Annots (annots true) or /B key whose name ends at p:
// blanks from the key through the value's last byte when the value has the
// expected form. p moves past what was examined.
Entry BlankEntry(Job& job, uint8_t* image, Cursor key, Cursor& p, Cursor end, bool annots) {
    Cursor q = p;
    if (!SkipWhiteAndComments(q, end)) return Entry::Malformed;
    Cursor valueEnd = nullptr;
    if (*q == '[') {
        Cursor r = q + 1;
        bool ok = annots ? StepOverAnnotsArray(job, r, end) : StepOverBeadArray(r, end);
        if (!ok) return Entry::Malformed;
        valueEnd = r;
    } else if (IsDigit(*q)) {
        Cursor r = q;
        if (!StepOverReference(job, r, end)) return Entry::Malformed;
        valueEnd = r;
    } else {
        return Entry::Kept;
    }
    std::memset(image + (key - image), ' ', static_cast<size_t>(valueEnd - key));
    p = valueEnd;
    return Entry::Blanked;
}

// Blanks the entries of one page dictionary; returns the number blanked.
int BlankPage(Job& job, uint8_t* image, Cursor body, Cursor end) {
    int blanked = 0;
    int depth = 0;
    Cursor p = body;
    while (end - p >= 7) {
        const Trivia trivia = StepTrivia(p, end);
        if (trivia == Trivia::Unclosed) return blanked;
        if (trivia == Trivia::Stepped) continue;
        const uint8_t c = *p;
        if ((c == '<' || c == '>') && p[1] == c) {
            depth += c == '<' ? 1 : -1;
            p += 2;
        } else if ((kCharClass[c] & kClassBracket) || c == ')') {
            ++p;
        } else if (std::memcmp(p, "endobj", 6) == 0) {
            return blanked;
        } else if (c == '/') {
            Cursor key = p;
            Cursor nameEnd = p + 1;
            while (nameEnd < end && !IsDelimiter(*nameEnd)) ++nameEnd;
            p = nameEnd;
            size_t length = static_cast<size_t>(nameEnd - key);
            bool annots = length == 7 && std::memcmp(key, "/Annots", 7) == 0;
            bool beads = length == 2 && key[1] == 'B';
            if (depth != 1 || !(annots || beads) || nameEnd >= end) continue;
            uint8_t after = *nameEnd;
            if (!(IsWhite(after) || after == '%' || after == '[')) continue;
            Entry e = BlankEntry(job, image, key, p, end, annots);
            if (e == Entry::Malformed) return blanked;
            if (e == Entry::Blanked) ++blanked;
        } else {
            ++p;
            while (p < end && !IsDelimiter(*p)) ++p;
        }
    }
    return blanked;
}

}  // namespace

int BlankPageAnnots(Job& job, Document& doc) {
    int blanked = 0;
    uint8_t* image = doc.image.data();
    for (const PageEntry& page : doc.pages) {
        Cursor body = FindObject(job, doc.table, doc.start(), doc.end(), page.number, page.generation);
        if (!body) break;
        blanked += BlankPage(job, image, body, doc.end());
    }
    job.LastError = 0;
    return blanked > 0 ? 1 : 0;
}

}  // namespace brisel
