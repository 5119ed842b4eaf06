#include "security/scan_object.h"

#include <cstring>

#include "pdfread/token_stepper.h"

namespace brisel {

namespace {

Cursor TokenEnd(Cursor p, Cursor end) {
    while (p < end && !IsNumberTerminator(*p)) ++p;
    return p;
}

bool TokenIs(Cursor from, Cursor to, const char* text) {
    size_t n = std::strlen(text);
    return static_cast<size_t>(to - from) == n && std::memcmp(from, text, n) == 0;
}

// The value after /Length: a number, or a reference "N G R" resolved to the
// integer of that object.
bool ReadLengthValue(Cursor cur, Cursor end, const LengthResolver& resolve, ObjectScan& scan) {
    if (!SkipWhiteAndComments(cur, end)) return false;
    Cursor text = cur;
    int32_t first = 0, second = 0;
    if (!ReadNumberToken(cur, end, first)) return false;
    Cursor afterFirst = cur;
    Cursor p = cur;
    if (ReadNumberToken(p, end, second) && SkipWhiteAndComments(p, end) && *p == 'R' &&
        (p + 1 == end || IsNumberTerminator(p[1]))) {
        scan.lengthIndirect = true;
        scan.lengthText = text;
        scan.lengthTextEnd = p + 1;
        // A saturated number names no object the table holds.
        scan.length = resolve ? resolve(first, second) : -1;
        return scan.length >= 0;
    }
    scan.lengthIndirect = false;
    scan.lengthText = text;
    scan.lengthTextEnd = afterFirst;
    scan.length = first;
    return true;
}

// Steps over the end of line after the keyword stream: CR LF, LF or CR.
Cursor StreamDataStart(Cursor p, Cursor end) {
    if (p < end && *p == '\r') ++p;
    if (p < end && *p == '\n') ++p;
    return p;
}

}  // namespace

ObjectScan ScanObject(Cursor body, Cursor end, const LengthResolver& resolveLength) {
    ObjectScan scan;
    bool haveLength = false, xref = false;
    int depth = 0;
    StepRules rules;
    rules.hexStrings = true;
    Cursor p = body;
    for (;;) {
        Cursor at;
        const Token token = StepToken(p, end, at, rules);
        if (token == Token::End || token == Token::Unclosed) break;
        if (token == Token::DictOpen) {
            ++depth;
        } else if (token == Token::DictClose) {
            --depth;
        } else if (token == Token::Name) {
            if (depth != 1) continue;
            const Cursor name = at + 1;
            if (TokenIs(name, p, "Length")) {
                if (ReadLengthValue(p, end, resolveLength, scan)) {
                    haveLength = true;
                } else if (scan.lengthIndirect) {
                    scan.kind = kLengthUnresolved;
                    return scan;
                }
            } else if (TokenIs(name, p, "Type")) {
                Cursor v = p;
                if (SkipWhiteAndComments(v, end) && *v == '/') {
                    Cursor valueEnd = TokenEnd(v + 1, end);
                    if (TokenIs(v + 1, valueEnd, "XRef")) xref = true;
                    if (TokenIs(v + 1, valueEnd, "Metadata")) scan.metadata = true;
                }
            }
        } else if (token == Token::Word && depth <= 0) {
            if (TokenIs(at, p, "endobj")) {
                scan.kind = xref ? kXrefStreamObject : kPlainObject;
                scan.stop = at;
                return scan;
            }
            if (TokenIs(at, p, "stream")) {
                if (!haveLength) {
                    scan.kind = kStreamWithoutLength;
                    return scan;
                }
                Cursor data = StreamDataStart(p, end);
                if (!xref) {
                    scan.kind = kStreamObject;
                    scan.stop = data;
                    return scan;
                }
                // A cross-reference stream is kept as it is: step over its
                // data and go on to endobj.
                if (scan.length > end - data) break;
                p = data + scan.length;
            }
        }
    }
    scan.kind = kObjectRunsToEnd;
    return scan;
}

}  // namespace brisel
