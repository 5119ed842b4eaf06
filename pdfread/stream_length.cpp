#include "pdfread/stream_length.h"

#include <cstring>

namespace brisel {

namespace {

// The value after "/Length": a direct number, or "N G R" resolved to the
// number held by object N.
int64_t ReadLengthValue(Job& job, Cursor p, Cursor limit, Cursor imageStart, Cursor imageEnd,
                        const XrefTable& table, LengthText& text) {
    text.from = p;
    SkipWhiteAndComments(text.from, limit);
    int32_t first = ReadInt(job, p, limit);
    if (first < 0) return kLengthNoNumber;
    text.to = p;
    if (ReadInt(job, p, limit) < 0) {
        job.LastError = 0;
        return first;
    }
    if (!SkipWhiteAndComments(p, limit)) return kLengthEndBeforeR;
    if (*p != 'R' || (p + 1 < limit && !IsDelimiter(p[1]))) return kLengthNoR;
    text.to = p + 1;
    text.indirect = true;
    const XrefEntry* entry = table.Find(first);
    if (!entry) return kLengthNotListed;
    Cursor body = FindObject(job, table, imageStart, imageEnd, first, entry->generation);
    if (!body) return kLengthObjectMissing;
    int32_t length = ReadInt(job, body, imageEnd);
    if (length < 0) return kLengthNotNumber;
    return length;
}

}  // namespace

int64_t StreamLength(Job& job, Cursor body, Cursor dataStart, Cursor imageStart, Cursor imageEnd,
                     const XrefTable& table, LengthText* text) {
    LengthText found;
    int depth = 0;
    Cursor p = body;
    const Cursor limit = dataStart;
    while (p < limit) {
        const Trivia trivia = StepTrivia(p, limit);
        if (trivia == Trivia::Unclosed) return kLengthUnclosedString;
        if (trivia == Trivia::Stepped) continue;
        const uint8_t c = *p;
        if (c == '<' && p + 1 < limit && p[1] == '<') {
            ++depth;
            p += 2;
        } else if (c == '>' && p + 1 < limit && p[1] == '>') {
            p += 2;
            if (--depth <= 0) return kLengthAbsent;
        } else if (c == '/' && depth == 1 && limit - p > 7 && std::memcmp(p, "/Length", 7) == 0 &&
                   (IsWhite(p[7]) || p[7] == '%')) {
            int64_t length = ReadLengthValue(job, p + 7, limit, imageStart, imageEnd, table, found);
            job.LastError = 0;
            if (text) *text = found;
            return length;
        } else {
            // Any other token, a name included.
            ++p;
            while (p < limit && !IsDelimiter(*p)) ++p;
        }
    }
    return kLengthAbsent;
}

}  // namespace brisel
