#include "docstruct/object_value.h"

#include "pdfread/xref_table.h"

#include <cctype>
#include <cstring>

namespace brisel {

Result<bool> ResolveValue(const Document& doc, Cursor& p, const ValueCodes& codes, int32_t* number,
                          Cursor* afterReference) {
    const Cursor end = doc.end();
    const int64_t at = p - doc.start();
    if (!SkipWhiteAndComments(p, end)) return Failure(codes.end).At(-1, at);
    if (!IsDigit(*p)) return false;
    Cursor q = p;
    int32_t n, generation;
    const PartFault fault = ReadReferenceValue(q, end, n, generation);
    if (fault == PartFault::Number || fault == PartFault::Generation) return Failure(codes.generation).At(-1, at);
    if (fault != PartFault::None) return Failure(codes.noR).At(-1, at);
    const Result<Cursor> body = FindObject(doc.table, doc.start(), end, n, generation);
    if (!body) return Failure(codes.missing).At(n, at);
    p = *body;
    if (number) *number = n;
    if (afterReference) *afterReference = q;
    return true;
}

Result<bool> NextKid(Cursor& cur, Cursor end, const KidsCodes& codes, bool checkClose, int32_t& number,
                     int32_t& generation) {
    const PartFault fault = ReadReferenceValue(cur, end, number, generation);
    if (fault == PartFault::Number) {
        if (!checkClose) return false;
        if (!SkipWhiteAndComments(cur, end)) return Failure(codes.endReached);
        if (*cur != ']') return Failure(codes.notClosed);
        return false;
    }
    if (fault == PartFault::Generation) return Failure(kKidNoGeneration);
    if (fault == PartFault::End) return Failure(kKidEndReached);
    if (fault == PartFault::NoKeyword) return Failure(kKidNoR);
    return true;
}

int64_t ViewLength(Cursor from, Cursor end) {
    for (Cursor p = from; p < end; ++p) {
        uint8_t c = *p;
        if (c == ']') return p - from;
        if (c == '%') {
            while (p + 1 < end && !IsLineEnd(p[1])) ++p;
        } else if (c != 0 && std::strchr("[()<>{}", c)) {
            return -1;
        }
    }
    return -1;
}

bool ReadExplicitDest(Cursor p, Cursor end, ExplicitDest& dest) {
    if (p >= end || *p != '[') return false;
    ++p;
    int32_t page = 0, generation = 0;
    if (!ReadNumberToken(p, end, page) || page < 1 || !ReadNumberToken(p, end, generation)) return false;
    if (!SkipWhiteAndComments(p, end) || *p != 'R') return false;
    ++p;
    if (!SkipWhiteAndComments(p, end)) return false;
    int64_t length = ViewLength(p, end);
    if (length < 0 || length > INT32_MAX) return false;
    dest.page = page;
    dest.view = p;
    dest.viewLength = static_cast<int32_t>(length);
    dest.after = p + length + 1;
    return true;
}

Cursor StringEnd(Cursor p, Cursor end) {
    if (p >= end) return nullptr;
    if (*p == '(') return SkipLiteralString(p, end) ? p + 1 : nullptr;
    if (*p != '<' || AtDict(p, end)) return nullptr;
    for (++p; p < end; ++p) {
        uint8_t c = *p;
        if (c == '>') return p + 1;
        if (!IsWhite(c) && !std::isxdigit(c)) return nullptr;
    }
    return nullptr;
}

}  // namespace brisel
