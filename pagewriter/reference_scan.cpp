#include "pagewriter/reference_scan.h"

#include <cstring>

#include "pdfread/stream_length.h"

namespace brisel {

namespace {

// Finds "endstream" followed by a delimiter, in [from, end).
Cursor FindEndstream(Cursor from, Cursor end) {
    for (Cursor p = from; end - p >= 9;) {
        p = static_cast<Cursor>(std::memchr(p, 'e', static_cast<size_t>(end - p - 8)));
        if (!p) return nullptr;
        if (std::memcmp(p, "endstream", 9) == 0 && (p + 9 == end || IsDelimiter(p[9]))) return p;
        ++p;
    }
    return nullptr;
}

// Steps over the data of a stream whose keyword ends at p. The length from
// the dictionary is trusted when "endstream" follows it; otherwise the data
// is searched for "endstream" from its first byte.
bool SkipStreamData(Job& job, Cursor& p, Cursor end, const ScanContext& context) {
    Cursor data = p;
    while (data < end && (*data == ' ' || *data == '\t')) ++data;
    if (data < end && *data == '\r') ++data;
    if (data < end && *data == '\n') ++data;
    int64_t length = StreamLength(job, context.body, data, context.imageStart, context.imageEnd, *context.table);
    job.LastError = 0;
    if (length < 0) length = 0;
    Cursor found = nullptr;
    if (length <= end - data) {
        Cursor q = data + length;
        if (SkipWhiteAndComments(q, end) && StartsWith(q, end, "endstream") && (q + 9 == end || IsDelimiter(q[9])))
            found = q;
    }
    if (!found) found = FindEndstream(data, end);
    if (!found) return false;
    p = found + 9;
    return true;
}

}  // namespace

ScanResult NextReference(Job& job, Cursor& cur, Cursor end, const ScanContext& context) {
    ScanResult result;
    for (;;) {
        while (cur < end) {
            const Trivia trivia = StepTrivia(cur, end);
            if (trivia == Trivia::Unclosed) {
                result.event = ScanEvent::Error;
                result.error = kScanUnclosedString;
                return result;
            }
            if (trivia == Trivia::Stepped) continue;
            // Brackets and a stray ")" are stepped over one by one.
            if (!((kCharClass[*cur] & kClassBracket) || *cur == ')')) break;
            ++cur;
        }
        if (cur >= end) {
            result.event = ScanEvent::Bound;
            return result;
        }
        if (*cur == '/') {
            Cursor p = cur + 1;
            while (p < end && !IsDelimiter(*p)) ++p;
            if (p - cur == 7 && std::memcmp(cur, "/Parent", 7) == 0 && p < end && (IsWhite(*p) || *p == '%')) {
                Cursor q = p;
                int32_t n, g;
                if (SkipWhiteAndComments(q, end)) {
                    Cursor at = q;
                    if (ReadReference(q, end, n, g)) {
                        cur = q;
                        result.event = ScanEvent::ParentValue;
                        result.number = n;
                        result.generation = g;
                        result.at = at;
                        result.after = q;
                        return result;
                    }
                }
            }
            cur = p;
            continue;
        }
        if (IsDigit(*cur)) {
            Cursor p = cur;
            int32_t n, g;
            if (ReadReference(p, end, n, g)) {
                result.event = ScanEvent::Reference;
                result.number = n;
                result.generation = g;
                result.at = cur;
                result.after = p;
                cur = p;
                return result;
            }
            // Not a reference: step over the number (or the token it starts).
            ++cur;
            while (cur < end && !IsDelimiter(*cur)) ++cur;
            continue;
        }
        Cursor p = cur;
        while (p < end && !IsDelimiter(*p)) ++p;
        if (p - cur == 6 && std::memcmp(cur, "stream", 6) == 0) {
            const Cursor keywordEnd = p;
            if (!SkipStreamData(job, p, end, context)) {
                result.event = ScanEvent::Error;
                result.error = kScanBadStream;
                return result;
            }
            result.event = ScanEvent::StreamData;
            result.at = keywordEnd;
            result.after = p;
            cur = p;
            return result;
        } else if (p - cur == 6 && std::memcmp(cur, "endobj", 6) == 0) {
            result.event = ScanEvent::ObjectEnd;
            result.at = cur;
            cur = p;
            return result;
        }
        cur = p;
    }
}

}  // namespace brisel
