// The one token stepper of the file reading. Every walker that steps through
// an object's text (the key finder, the dictionary end finder, the stream
// length lookup, the annotation filter, the reference scan and the object
// scan of the recoder) takes its steps here, so that one file is read one way
// everywhere. A step passes white space and comments, then one token, and
// tells what the token was; the walker keeps its own depth and decides what
// the token means to it. The few ways in which walkers read odd text
// differently are named rules of the step, not copies of it.
#pragma once

#include <cstdint>
#include <cstring>

#include "pdfread/lexer.h"

namespace brisel {

enum class Token : uint8_t {
    End,        // nothing but white space and comments up to the bound
    Unclosed,   // a string (or, with streamData, stream data) that runs to the bound; cur stays at its start
    DictOpen,   // "<<"
    DictClose,  // ">>"
    Bracket,    // one of "[ ] { }", a stray ")", or a lone "<" or ">" (without hexStrings)
    String,     // a literal string, its parentheses balanced
    HexString,  // "<" up to the next ">" (with hexStrings)
    Name,       // "/" and the bytes up to the next delimiter
    Word,       // a number, a keyword or any other run of bytes up to a delimiter
    StreamData  // the keyword "stream" and the data after it (with streamData)
};

// Steps over the data of a stream whose keyword "stream" ends at keywordEnd:
// the position after the data (or after "endstream"), or null when the data
// runs to the bound.
using StreamDataStep = Cursor (*)(const void* context, Cursor keywordEnd, Cursor end);

struct StepRules {
    // "<" opens a hexadecimal string that the step passes up to its ">". Without
    // it a lone "<" is a bracket of its own (and "<0A>>>" closes a dictionary
    // at the string's ">"), which is all the walkers that only count depth
    // need.
    bool hexStrings = false;
    // In "<<<" not followed by another "<", the lone "<" pairs with the one
    // before it, so the run opens two dictionaries ("<<<<" still opens two).
    bool repeatOpen = false;
    // The same for ">" in ">>>": the run closes two dictionaries.
    bool repeatClose = false;
    // A "(" glued to the token before it belongs to that token and opens no
    // string; the token runs on over names and "(" to the next other
    // delimiter. White space, a comment or one of "[ ] { } )" between them
    // unglues them (the dictionary end finder also lets such a bracket glue
    // when it is the first token).
    bool gluedStrings = false;
    // When set, the keyword "stream" and its data are stepped over as one
    // token; otherwise "stream" is a Word.
    StreamDataStep streamData = nullptr;
    const void* streamContext = nullptr;

    // The two passes of the dictionary end finder: the second finds the end
    // of dictionaries whose strings or brackets the first could not balance.
    // The first passes hexadecimal strings whole, so that a dictionary that
    // ends in one ("/ID <0A>>>") ends at its own ">>": the page writer copies
    // up to that end, and one byte early would cut the closing ">".
    static StepRules FirstDictPass() {
        StepRules rules;
        rules.repeatOpen = rules.hexStrings = true;
        return rules;
    }
    static StepRules SecondDictPass() {
        StepRules rules;
        rules.repeatOpen = rules.repeatClose = rules.gluedStrings = true;
        return rules;
    }
};

// With gluedStrings: the end of what is glued to a token that ends at p.
inline Cursor GluedEnd(Cursor p, Cursor end) {
    while (p < end && (!IsDelimiter(*p) || *p == '/' || *p == '(')) ++p;
    return p;
}

// Steps over white space and comments, then over one token; at is the
// token's first byte and cur moves just after it. At the bound (End) and at
// an unclosed token (Unclosed) at is where the step stopped. Inline: the
// walkers take a step for every token they pass, and each walker's rules
// are constants that the compiler folds into its own copy of the step.
namespace stepper_detail {

// Whether the pair "cc" at p is followed by one more c that the rules pair
// with the pair's second byte: "ccc" not followed by a fourth c.
inline bool RepeatsPair(Cursor p, Cursor end, uint8_t c) {
    return end - p > 2 && p[2] == c && !(end - p > 3 && p[3] == c);
}

inline Cursor WordEnd(Cursor p, Cursor end) {
    while (p < end && !IsDelimiter(*p)) ++p;
    return p;
}

}  // namespace stepper_detail

inline Token StepToken(Cursor& cur, Cursor end, Cursor& at, const StepRules& rules) {
    using namespace stepper_detail;
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
        case '>': {
            const uint8_t c = *p;
            if (end - p >= 2 && p[1] == c) {
                // "<<" or ">>"
                kind = c == '<' ? Token::DictOpen : Token::DictClose;
                if ((c == '<' ? rules.repeatOpen : rules.repeatClose) && RepeatsPair(p, end, c)) {
                    cur = p + 1;
                    return kind;
                }
                p += 2;
            } else if (c == '<' && rules.hexStrings) {
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
        }
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
    if (rules.gluedStrings && glues) p = GluedEnd(p, end);
    cur = p;
    return kind;
}


inline Token StepToken(Cursor& cur, Cursor end, Cursor& at) { return StepToken(cur, end, at, StepRules{}); }

}  // namespace brisel
