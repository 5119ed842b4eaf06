#include "pdfread/content_names.h"

#include "pdfread/token_stepper.h"

namespace brisel {

namespace {

int HexValue(uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The end of inline image data that starts at p: the "EI" that stands
// between white space and a delimiter (or the end). null when there is none.
Cursor InlineImageEnd(Cursor p, Cursor end) {
    for (; end - p >= 2; ++p) {
        if (p[0] != 'E' || p[1] != 'I') continue;
        if (!IsWhite(p[-1])) continue;
        if (p + 2 == end || IsDelimiter(p[2])) return p + 2;
    }
    return nullptr;
}

}  // namespace

std::string PlainName(Cursor from, Cursor to) {
    std::string name;
    for (Cursor p = from + 1; p < to; ++p) {
        int high, low;
        if (*p == '#' && to - p >= 3 && (high = HexValue(p[1])) >= 0 && (low = HexValue(p[2])) >= 0) {
            name += static_cast<char>(high * 16 + low);
            p += 2;
        } else {
            name += static_cast<char>(*p);
        }
    }
    return name;
}

bool CollectContentNames(const uint8_t* data, size_t length, NameSet& names) {
    const Cursor end = data + length;
    StepRules rules;
    rules.hexStrings = true;
    Cursor cur = data;
    // Every step moves cur forward; inline image data is passed whole.
    for (;;) {
        Cursor at;
        switch (StepToken(cur, end, at, rules)) {
            case Token::End:
                return true;
            case Token::Unclosed:
                return false;
            case Token::Name:
                names.insert(PlainName(at, cur));
                break;
            case Token::Word:
                if (cur - at == 2 && at[0] == 'I' && at[1] == 'D') {
                    // One white-space byte separates the keyword from the data.
                    if (cur >= end) return false;
                    Cursor after = InlineImageEnd(cur + 1, end);
                    if (!after) return false;
                    cur = after;
                }
                break;
            default:
                break;
        }
    }
}

}  // namespace brisel
