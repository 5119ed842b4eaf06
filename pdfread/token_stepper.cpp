#include "pdfread/token_stepper.h"

#include <cstring>

namespace brisel {

namespace {

// Whether the pair "cc" at p is followed by one more c that the rules pair
// with the pair's second byte: "ccc" not followed by a fourth c.
bool RepeatsPair(Cursor p, Cursor end, uint8_t c) {
    return end - p > 2 && p[2] == c && !(end - p > 3 && p[3] == c);
}

Cursor WordEnd(Cursor p, Cursor end) {
    while (p < end && !IsDelimiter(*p)) ++p;
    return p;
}

}  // namespace

Token StepToken(Cursor& cur, Cursor end, Cursor& at, const StepRules& rules) {
    Cursor p = cur;
    for (;;) {
        if (p >= end) {
            cur = at = p;
            return Token::End;
        }
        if (IsWhite(*p)) {
            ++p;
        } else if (*p == '%') {
            while (p < end && !IsLineEnd(*p)) ++p;
        } else {
            break;
        }
    }
    at = p;
    Token kind;
    bool glues = true;  // whether a glued "(" belongs to this token (gluedStrings)
    switch (*p) {
        case '(':
            if (!SkipLiteralString(p, end)) {
                cur = at;
                return Token::Unclosed;
            }
            ++p;
            kind = Token::String;
            break;
        case '<':
            if (end - p >= 2 && p[1] == '<') {
                kind = Token::DictOpen;
                if (rules.repeatOpen && RepeatsPair(p, end, '<')) {
                    cur = p + 1;
                    return kind;
                }
                p += 2;
            } else if (rules.hexStrings) {
                const void* close = std::memchr(p, '>', static_cast<size_t>(end - p));
                if (!close) {
                    cur = at;
                    return Token::Unclosed;
                }
                p = static_cast<Cursor>(close) + 1;
                kind = Token::HexString;
            } else {
                ++p;
                kind = Token::Bracket;
            }
            break;
        case '>':
            if (end - p >= 2 && p[1] == '>') {
                kind = Token::DictClose;
                if (rules.repeatClose && RepeatsPair(p, end, '>')) {
                    cur = p + 1;
                    return kind;
                }
                p += 2;
            } else {
                ++p;
                kind = Token::Bracket;
            }
            break;
        case '[':
        case ']':
        case '{':
        case '}':
        case ')':
            ++p;
            kind = Token::Bracket;
            glues = false;
            break;
        case '/':
            p = WordEnd(p + 1, end);
            kind = Token::Name;
            break;
        default:
            p = WordEnd(p + 1, end);
            kind = Token::Word;
            if (rules.streamData && p - at == 6 && std::memcmp(at, "stream", 6) == 0) {
                Cursor after = rules.streamData(rules.streamContext, p, end);
                if (!after) {
                    cur = at;
                    return Token::Unclosed;
                }
                cur = after;
                return Token::StreamData;
            }
            break;
    }
    if (rules.gluedStrings && glues) {
        while (p < end && (!IsDelimiter(*p) || *p == '/' || *p == '(')) ++p;
    }
    cur = p;
    return kind;
}

}  // namespace brisel
