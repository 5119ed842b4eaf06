#include "pdfread/stream_length.h"

#include <cstring>

#include "pdfread/token_stepper.h"

namespace brisel {

namespace {

// The value after "/Length": a direct number, or "N G R" resolved to the
// number held by object N.
Result<int64_t> ReadLengthValue(Cursor p, Cursor limit, Cursor imageStart, Cursor imageEnd,
                                const XrefTable& table, LengthText& text) {
    text.from = p;
    SkipWhiteAndComments(text.from, limit);
    // A direct length may pass 32 bits; an object number saturates there.
    const int64_t direct = ReadLong(p, limit).value_or(-1);
    if (direct < 0) return Failure(kLengthNoNumber);
    const int32_t first = direct > INT32_MAX ? INT32_MAX : static_cast<int32_t>(direct);
    text.to = p;
    if (!ReadInt(p, limit)) return direct;
    if (!SkipWhiteAndComments(p, limit)) return Failure(kLengthEndBeforeR);
    if (*p != 'R' || (p + 1 < limit && !IsDelimiter(p[1]))) return Failure(kLengthNoR);
    text.to = p + 1;
    text.indirect = true;
    const XrefEntry* entry = table.Find(first);
    if (!entry) return Failure(kLengthNotListed, first, -1);
    const Result<Cursor> body = FindObject(table, imageStart, imageEnd, first, entry->generation);
    if (!body) return Failure(kLengthObjectMissing, first, body.failure().offset);
    Cursor at = *body;
    const int64_t length = ReadLong(at, imageEnd).value_or(-1);
    if (length < 0) return Failure(kLengthNotNumber, first, *body - imageStart);
    return length;
}

}  // namespace

Result<int64_t> StreamLength(Cursor body, Cursor dataStart, Cursor imageStart, Cursor imageEnd,
                             const XrefTable& table, LengthText* text) {
    LengthText found;
    int depth = 0;
    Cursor p = body;
    const Cursor limit = dataStart;
    for (;;) {
        Cursor at;
        const Token token = StepToken(p, limit, at);
        if (token == Token::Unclosed) return Failure(kLengthUnclosedString, -1, p - imageStart);
        if (token == Token::End) break;
        if (token == Token::DictOpen) {
            ++depth;
        } else if (token == Token::DictClose) {
            if (--depth <= 0) return Failure(kLengthAbsent);
        } else if (token == Token::Name && depth == 1 && p - at == 7 && std::memcmp(at, "/Length", 7) == 0 &&
                   p < limit && (IsWhite(*p) || *p == '%')) {
            const Result<int64_t> length = ReadLengthValue(p, limit, imageStart, imageEnd, table, found);
            if (text) *text = found;
            return length;
        }
    }
    return Failure(kLengthAbsent);
}

Cursor FindEndstream(Cursor from, Cursor end) {
    for (Cursor p = from; end - p >= 9;) {
        p = static_cast<Cursor>(std::memchr(p, 'e', static_cast<size_t>(end - p - 8)));
        if (!p) return nullptr;
        if (std::memcmp(p, "endstream", 9) == 0 && (p + 9 == end || IsDelimiter(p[9]))) return p;
        ++p;
    }
    return nullptr;
}

}  // namespace brisel
