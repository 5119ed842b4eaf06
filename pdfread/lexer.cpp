#include "pdfread/lexer.h"

#include "pdfread/token_stepper.h"

#include <cstring>

namespace brisel {

namespace {

bool IsOneOf(uint8_t c, const char* set) { return c != 0 && std::strchr(set, c) != nullptr; }

// Converts a run of digits, saturating at highest: numbers and generations
// at the 32-bit maximum, offsets and lengths at 2^62, which no file reaches.
int64_t ConvertDigits(Cursor from, Cursor to, int64_t highest) {
    int64_t value = 0;
    for (Cursor p = from; p < to; ++p) {
        const int digit = *p - '0';
        if (value > (highest - digit) / 10) return highest;
        value = value * 10 + digit;
    }
    return value;
}

// ReadInt and ReadLong: digits after white space and comments, ended by a
// delimiter or by the bound.
Result<int64_t> ReadUnsigned(Cursor& cur, Cursor end, int64_t highest) {
    if (cur >= end) return Failure(kIntAtEnd);
    if (!SkipWhiteAndComments(cur, end)) return Failure(kIntEndInSpace);
    if (!IsDigit(*cur)) return Failure(kIntNoDigit);
    Cursor p = cur;
    while (p < end && IsDigit(*p)) ++p;
    if (p < end && !IsNumberTerminator(*p)) return Failure(kIntBadTerminator);
    // Digits that run up to the bound are still a number when the tail is short.
    if (p == end && end - cur > 20) return Failure(kIntTooLong);
    const int64_t value = ConvertDigits(cur, p, highest);
    cur = p;
    return value;
}

// Advances over a comment (cur on "%") up to the next line end; false when the
// end bound comes first.
bool SkipComment(Cursor& cur, Cursor end) {
    while (cur < end && !IsLineEnd(*cur)) ++cur;
    return cur < end;
}

}  // namespace


bool StartsWith(Cursor cur, Cursor end, const char* text) {
    size_t n = std::strlen(text);
    return static_cast<size_t>(end - cur) >= n && std::memcmp(cur, text, n) == 0;
}

Result<int64_t> SkipSpace(Cursor& cur, Cursor end) {
    Cursor begin = cur;
    for (;;) {
        while (cur < end && IsWhite(*cur)) ++cur;
        if (cur >= end) return Failure(kSpaceEndInWhite);
        if (*cur != '%') return cur - begin;
        if (!SkipComment(cur, end)) return Failure(kSpaceEndInComment);
    }
}

bool SkipWhiteAndComments(Cursor& cur, Cursor end) {
    while (cur < end) {
        if (IsWhite(*cur)) ++cur;
        else if (*cur == '%') SkipComment(cur, end);
        else return true;
    }
    return false;
}

Result<int32_t> ReadInt(Cursor& cur, Cursor end) {
    const Result<int64_t> value = ReadUnsigned(cur, end, INT32_MAX);
    if (!value) return value.failure();
    return static_cast<int32_t>(*value);
}

Result<int64_t> ReadLong(Cursor& cur, Cursor end) { return ReadUnsigned(cur, end, kMaxLong); }

bool ReadDigits(Cursor& cur, Cursor end, int32_t& value) {
    Cursor q = cur;
    int64_t v = 0;
    while (q < end && IsDigit(*q)) {
        v = v * 10 + (*q - '0');
        if (v > INT32_MAX) v = INT32_MAX;
        ++q;
    }
    if (q == cur || (q < end && !IsNumberTerminator(*q))) return false;
    value = static_cast<int32_t>(v);
    cur = q;
    return true;
}

bool ReadNumberToken(Cursor& cur, Cursor end, int32_t& value) {
    Cursor p = cur;
    if (!SkipWhiteAndComments(p, end) || !ReadDigits(p, end, value)) return false;
    cur = p;
    return true;
}

bool ReadReference(Cursor& cur, Cursor end, int32_t& number, int32_t& generation) {
    Cursor q = cur;
    if (!ReadDigits(q, end, number)) return false;
    if (q >= end || !(IsWhite(*q) || *q == '%') || !SkipWhiteAndComments(q, end)) return false;
    if (!ReadDigits(q, end, generation)) return false;
    if (q < end && (IsWhite(*q) || *q == '%') && !SkipWhiteAndComments(q, end)) return false;
    if (q >= end || *q != 'R') return false;
    if (q + 1 < end && !IsDelimiter(q[1])) return false;
    cur = q + 1;
    return true;
}

bool ReadNumberPair(Cursor cur, Cursor end, int32_t& number, int32_t& generation) {
    const Result<int32_t> n = ReadInt(cur, end);
    if (!n) return false;
    const Result<int32_t> g = ReadInt(cur, end);
    if (!g) return false;
    number = *n;
    generation = *g;
    return true;
}

bool SkipLiteralString(Cursor& cur, Cursor end) {
    int depth = 1;
    Cursor p = cur + 1;
    while (p < end) {
        uint8_t c = *p;
        if (c == '\\') {
            p += 2;
            continue;
        }
        if (c == '(') {
            ++depth;
        } else if (c == ')' && --depth == 0) {
            cur = p;
            return true;
        }
        ++p;
    }
    return false;
}

Cursor FindKey(const char* key, Cursor from, Cursor end) {
    const ptrdiff_t n = static_cast<ptrdiff_t>(std::strlen(key));
    if (n == 0) return nullptr;
    int depth = 0;
    Cursor cur = from;
    // Hexadecimal strings are passed whole, as the dictionary end finder
    // passes them. Stepped as brackets, "<0A>>>>" (a string, the end of a
    // dictionary and a stray ">") would close two dictionaries, and the
    // keys after it would be missed, though the dictionary goes on.
    StepRules rules;
    rules.hexStrings = true;
    for (;;) {
        Cursor at;
        const Token token = StepToken(cur, end, at, rules);
        // Once fewer bytes remain than the key has, it cannot stand there.
        if (token == Token::End || token == Token::Unclosed || end - at < n) return nullptr;
        if (token == Token::DictOpen) {
            ++depth;
            continue;
        }
        if (token == Token::DictClose) {
            --depth;
            continue;
        }
        if (token == Token::Bracket && *at != ')') continue;
        if (token != Token::String && depth == 0 && *at == static_cast<uint8_t>(*key) &&
            std::memcmp(at, key, static_cast<size_t>(n)) == 0 &&
            (at + n == end || IsKeyTerminator(at[n]))) {
            return at;
        }
        if (end - cur < n) return nullptr;
    }
}

namespace {

// One pass of FindDictEnd, with the rules of the first or the second pass.
Cursor FindDictEndPass(Cursor from, Cursor end, const StepRules& rules) {
    int depth = 0;
    Cursor p = from;
    for (bool first = true;; first = false) {
        Cursor at;
        const Token token = StepToken(p, end, at, rules);
        if (token == Token::End || token == Token::Unclosed || end - at < 2) return nullptr;
        if (token == Token::DictClose) {
            if (depth == 0) return at;
            --depth;
        } else if (token == Token::DictOpen) {
            ++depth;
        } else if (first && rules.gluedStrings && token == Token::Bracket && *at != '<' && *at != '>') {
            // A bracket that opens the body takes a glued "(" with it too.
            p = GluedEnd(p, end);
        }
    }
}

}  // namespace

Cursor FindDictEnd(Cursor from, Cursor end) {
    Cursor found = FindDictEndPass(from, end, StepRules::FirstDictPass());
    return found ? found : FindDictEndPass(from, end, StepRules::SecondDictPass());
}

namespace {

// Long scans go in steps of this many bytes, and look at the stop request
// between steps.
constexpr ptrdiff_t kScanStep = ptrdiff_t{16} << 20;

bool StopSeen(const std::atomic<int>* stop) { return stop && stop->load(std::memory_order_relaxed) != 0; }

// The last byte c in [from, to), or null.
Cursor LastByte(Cursor from, Cursor to, uint8_t c) {
#if defined(__GLIBC__)
    return static_cast<Cursor>(::memrchr(from, c, static_cast<size_t>(to - from)));
#else
    while (to > from)
        if (*--to == c) return to;
    return nullptr;
#endif
}

// Whether a "%" stands before at on its line, looking back no further than
// start; stopped is set when a stop request ends the look first.
Cursor CommentStart(Cursor start, Cursor at, const std::atomic<int>* stop, bool& stopped) {
    for (Cursor to = at; to > start;) {
        const Cursor from = to - start > kScanStep ? to - kScanStep : start;
        for (Cursor q = to; q > from;) {
            const uint8_t c = *--q;
            if (c == '%') return q;
            if (IsLineEnd(c)) return nullptr;
        }
        to = from;
        if (StopSeen(stop)) {
            stopped = true;
            return nullptr;
        }
    }
    return nullptr;
}

}  // namespace

bool FindBackward(Cursor start, Cursor& cur, const char* keyword, const std::atomic<int>* stop) {
    const ptrdiff_t n = static_cast<ptrdiff_t>(std::strlen(keyword));
    if (n == 0) return false;
    ptrdiff_t limit = cur - start;  // the match must end at or before here
    ptrdiff_t p = limit - n;
    while (p >= 0) {
        if (StopSeen(stop)) return false;
        // The keyword's first byte, a step at a time: a long run without the
        // keyword (a large input's tail) is passed at the speed of memory.
        const ptrdiff_t low = p >= kScanStep ? p - kScanStep + 1 : 0;
        const Cursor m = LastByte(start + low, start + p + 1, static_cast<uint8_t>(keyword[0]));
        if (!m) {
            p = low - 1;
            continue;
        }
        p = m - start;
        if (std::memcmp(m, keyword, static_cast<size_t>(n)) == 0 && (p == 0 || IsWhite(m[-1])) &&
            (p + n == limit || IsWhite(m[n]) || m[n] == '%')) {
            // Inside a comment when a "%" stands earlier on the same line.
            bool stopped = false;
            const Cursor comment = CommentStart(start, m, stop, stopped);
            if (stopped) return false;
            if (comment) {
                limit = comment - start;
                p = limit - n;
                continue;
            }
            cur = m;
            return true;
        }
        --p;
    }
    return false;
}

int ReadLiteralString(Cursor& cur, Cursor end, uint8_t* out, int capacity) {
    int stored = 0;
    int depth = 0;
    Cursor p = cur;
    auto store = [&](uint8_t c) {
        if (stored >= capacity) return false;
        out[stored++] = c;
        return true;
    };
    while (p < end) {
        uint8_t c = *p++;
        if (c == '\\') {
            if (p >= end) return kStringUnclosed;
            uint8_t e = *p++;
            uint8_t value;
            switch (e) {
                case 'n': value = '\n'; break;
                case 'r': value = '\r'; break;
                case 't': value = '\t'; break;
                case 'b': value = '\b'; break;
                case 'f': value = '\f'; break;
                case '\n':
                case '\r':
                    // A backslash before a line end continues the line.
                    if (p < end && IsLineEnd(*p) && *p != e) ++p;
                    continue;
                default:
                    if (e >= '0' && e <= '7') {
                        int v = e - '0';
                        for (int i = 0; i < 2 && p < end && *p >= '0' && *p <= '7'; ++i) v = v * 8 + (*p++ - '0');
                        value = static_cast<uint8_t>(v & 0xff);
                    } else {
                        value = e;
                    }
            }
            if (!store(value)) return kStringTooLong;
            continue;
        }
        if (c == '(') {
            ++depth;
        } else if (c == ')') {
            if (depth == 0) {
                cur = p;
                return stored;
            }
            --depth;
        } else if (IsLineEnd(c)) {
            if (p < end && IsLineEnd(*p) && *p != c) ++p;
            c = '\n';
        }
        if (!store(c)) return kStringTooLong;
    }
    return kStringUnclosed;
}

static int HexValue(uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

int ReadHexString(Cursor& cur, Cursor end, uint8_t* out, int capacity) {
    int stored = 0;
    int high = -1;
    for (Cursor p = cur; p < end; ++p) {
        if (*p == '>') {
            if (high >= 0) {
                if (stored >= capacity) return kStringTooLong;
                out[stored++] = static_cast<uint8_t>(high << 4);
            }
            cur = p + 1;
            return stored;
        }
        int v = HexValue(*p);
        if (v < 0) continue;
        if (high < 0) {
            high = v;
        } else {
            if (stored >= capacity) return kStringTooLong;
            out[stored++] = static_cast<uint8_t>(high << 4 | v);
            high = -1;
        }
    }
    return kStringUnclosed;
}

PartFault ReadNumbersAndKeyword(Cursor& cur, Cursor end, const char* keyword, int32_t& number,
                                int32_t& generation) {
    const Result<int32_t> n = ReadInt(cur, end);
    number = n.value_or(-1);
    if (!n) return PartFault::Number;
    const Result<int32_t> g = ReadInt(cur, end);
    generation = g.value_or(-1);
    if (!g) return PartFault::Generation;
    if (!SkipWhiteAndComments(cur, end)) return PartFault::End;
    if (!StartsWith(cur, end, keyword)) return PartFault::NoKeyword;
    cur += std::strlen(keyword);
    return PartFault::None;
}

namespace {

int ScanObjectHeader(Cursor from, Cursor end, Cursor& header) {
    Cursor p = from;
    for (;;) {
        if (!SkipSpace(p, end)) return kHeaderScanSpace;
        if (IsDigit(*p)) {
            Cursor candidate = p;
            if (!ReadInt(p, end)) {
                // A number glued to other bytes ("1.5", "12a") is no header;
                // step over its digits and go on scanning.
                p = candidate;
                while (p < end && IsDigit(*p)) ++p;
                continue;
            }
            Cursor afterFirst = p;
            if (!ReadInt(p, end)) {
                p = afterFirst;
                continue;
            }
            Result<int64_t> skipped = SkipSpace(p, end);
            if (!skipped) return kHeaderScanSpaceAfterGeneration;
            if (*skipped == 0) {
                p = afterFirst;
                continue;
            }
            if (end - p < 9) return kHeaderScanNoRoom;
            if (std::memcmp(p, "obj", 3) != 0) {
                p = afterFirst;
                continue;
            }
            p += 3;
            skipped = SkipSpace(p, end);
            if (!skipped) return kHeaderScanSpaceAfterObj;
            if (*skipped == 0 && !IsOneOf(*p, "<[{(")) {
                p = afterFirst;
                continue;
            }
            header = candidate;
            return 0;
        }
        while (p < end && !IsWhite(*p) && !IsOneOf(*p, "%]}>)")) ++p;
        if (p >= end) return kHeaderScanEndInToken;
        if (*p == '%') {
            if (!SkipComment(p, end)) return kHeaderScanEndInComment;
        } else if (IsOneOf(*p, "]}>)")) {
            if (++p >= end) return kHeaderScanEndAfterBracket;
        }
    }
}

int ScanObjectEnd(Cursor from, Cursor end, Cursor& objectEnd, bool& catalogSeen) {
    Cursor p = from;
    for (;;) {
        if (!SkipSpace(p, end)) return kObjectEndSpace;
        if (IsOneOf(*p, ")]}>")) {
            if (++p >= end) return kObjectEndAfterDelimiter;
            continue;
        }
        // A file cut just after its last "endobj" still ends that object.
        if (end - p == 6 && std::memcmp(p, "endobj", 6) == 0) {
            objectEnd = end;
            return 0;
        }
        if (end - p < 7) return kObjectEndNoRoom;
        if (StartsWith(p, end, "/Catalog")) {
            p += 8;
            const Result<int64_t> skipped = SkipSpace(p, end);
            if (!skipped) return kObjectEndSpaceAfterName;
            if (*skipped == 0 && !IsOneOf(*p, "<>(){}[]/")) return kObjectEndCatalogGlued;
            catalogSeen = true;
            continue;
        }
        if (*p == '/') {
            if (++p >= end) return kObjectEndAfterDelimiter;
        } else if (std::memcmp(p, "endobj", 6) == 0) {
            Cursor after = p + 6;
            Cursor q = after;
            const Result<int64_t> skipped = SkipSpace(q, end);
            // "endobj" and nothing but white space or a comment up to the end.
            if (!skipped || *skipped > 0) {
                objectEnd = after;
                return 0;
            }
        }
        while (p < end && !IsWhite(*p) && !IsOneOf(*p, "%)]}>/")) ++p;
        if (p >= end) return kObjectEndInToken;
    }
}

// Runs scan (a forward scan that finds one position) over [from, end) in
// steps of kScanStep, looking at the stop request between them. A step
// ends a little before its window does, at a line start, where no token or
// comment is cut: what the scan finds before that point is what it finds
// over the whole range; otherwise the next step starts there.
template <class Scan>
int ScanInSteps(Cursor from, Cursor end, const std::atomic<int>* stop, int stoppedCode, Cursor& found, Scan scan) {
    constexpr ptrdiff_t kOverlap = 4096;
    for (Cursor p = from;;) {
        if (!stop || end - p <= kScanStep) return scan(p, end, found);
        if (StopSeen(stop)) return stoppedCode;
        const Cursor windowEnd = p + kScanStep;
        Cursor restart = windowEnd - kOverlap;
        for (Cursor q = restart; q > restart - kOverlap; --q) {
            if (IsLineEnd(q[-1])) {
                restart = q;
                break;
            }
        }
        Cursor at = nullptr;
        if (scan(p, windowEnd, at) == 0 && at < restart) {
            found = at;
            return 0;
        }
        p = restart;
    }
}

}  // namespace

int FindObjectHeader(Cursor from, Cursor end, Cursor& header, const std::atomic<int>* stop) {
    return ScanInSteps(from, end, stop, kHeaderScanStopped, header,
                       [](Cursor a, Cursor b, Cursor& at) { return ScanObjectHeader(a, b, at); });
}

int FindObjectEnd(Cursor from, Cursor end, Cursor& objectEnd, bool& catalogSeen, const std::atomic<int>* stop) {
    return ScanInSteps(from, end, stop, kObjectEndStopped, objectEnd, [&catalogSeen](Cursor a, Cursor b, Cursor& at) {
        return ScanObjectEnd(a, b, at, catalogSeen);
    });
}

Cursor FindFirst(Cursor from, Cursor end, const char* text) {
    const size_t n = std::strlen(text);
    for (Cursor p = from; end - p >= static_cast<ptrdiff_t>(n); ++p) {
        p = static_cast<Cursor>(std::memchr(p, text[0], static_cast<size_t>(end - p)));
        if (!p || end - p < static_cast<ptrdiff_t>(n)) return nullptr;
        if (std::memcmp(p, text, n) == 0) return p;
    }
    return nullptr;
}

}  // namespace brisel
