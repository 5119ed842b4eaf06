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
using StreamDataStep = Cursor (*)(void* context, Cursor keywordEnd, Cursor end);

struct StepRules {
    // "<" opens a hexadecimal string that the step passes up to its ">". Without
    // it a lone "<" is a bracket of its own (and "<0A>>>" closes a dictionary
    // at the string's ">"), as the walkers that only count depth read it.
    bool hexStrings = false;
    // In "<<<" not followed by another "<", the lone "<" pairs with the one
    // before it, so the run opens two dictionaries ("<<<<" still opens two).
    bool repeatOpen = false;
    // The same for ">" in ">>>": the run closes two dictionaries.
    bool repeatClose = false;
    // A "(" glued to the token before it (no white space, comment or bracket
    // between) belongs to that token and opens no string; the token runs on
    // over names and "(" to the next other delimiter.
    bool gluedStrings = false;
    // When set, the keyword "stream" and its data are stepped over as one
    // token; otherwise "stream" is a Word.
    StreamDataStep streamData = nullptr;
    void* streamContext = nullptr;

    // The second pass of the dictionary end finder: it finds the end of
    // dictionaries whose strings or brackets the first pass (repeatOpen alone)
    // could not balance.
    static StepRules SecondDictPass() {
        StepRules rules;
        rules.repeatOpen = rules.repeatClose = rules.gluedStrings = true;
        return rules;
    }
};

// Steps over white space and comments, then over one token; at is the
// token's first byte and cur moves just after it. At the bound (End) and at
// an unclosed token (Unclosed) at is where the step stopped.
Token StepToken(Cursor& cur, Cursor end, Cursor& at, const StepRules& rules);

inline Token StepToken(Cursor& cur, Cursor end, Cursor& at) { return StepToken(cur, end, at, StepRules{}); }

}  // namespace brisel
