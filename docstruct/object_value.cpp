#include "docstruct/object_value.h"

#include "docstruct/job_reads.h"

#include <cctype>
#include <cstring>

namespace brisel {


int ResolveValue(Job& job, const Document& doc, Cursor& p, const ValueCodes& codes, int32_t* number,
                 Cursor* afterReference) {
    const Cursor end = doc.end();
    if (!SkipWhiteAndComments(p, end)) {
        job.LastError = codes.end;
        return -1;
    }
    if (!IsDigit(*p)) return 0;
    Cursor q = p;
    int32_t n, generation;
    const PartFault fault = ReadReferenceValue(q, end, n, generation);
    if (fault == PartFault::Number || fault == PartFault::Generation) return Fail(job, codes.generation, -1);
    if (fault != PartFault::None) return Fail(job, codes.noR, -1);
    Cursor body = FindObject(job, doc.table, doc.start(), end, n, generation);
    if (!body) {
        job.LastError = codes.missing;
        return -1;
    }
    job.LastError = 0;
    p = body;
    if (number) *number = n;
    if (afterReference) *afterReference = q;
    return 1;
}

int NextKid(Job& job, Cursor& cur, Cursor end, const KidsCodes& codes, bool checkClose, int32_t& number,
            int32_t& generation) {
    const PartFault fault = ReadReferenceValue(cur, end, number, generation);
    if (fault == PartFault::Number) {
        job.LastError = 0;
        if (!checkClose) return 0;
        if (!SkipWhiteAndComments(cur, end)) return Fail(job, codes.endReached, -1);
        if (*cur != ']') return Fail(job, codes.notClosed, -1);
        return 0;
    }
    if (fault == PartFault::Generation) return Fail(job, kKidNoGeneration, -1);
    if (fault == PartFault::End) return Fail(job, kKidEndReached, -1);
    if (fault == PartFault::NoKeyword) return Fail(job, kKidNoR, -1);
    return 1;
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
