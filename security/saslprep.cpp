#include "security/saslprep.h"

#include <algorithm>
#include <cstdint>

#include "security/saslprep_tables.h"

namespace brisel {

using namespace saslprep;

namespace {

constexpr char32_t kHangulFirst = 0xAC00, kJamoL = 0x1100, kJamoV = 0x1161, kJamoT = 0x11A7;
constexpr char32_t kCountL = 19, kCountV = 21, kCountT = 28, kCountN = kCountV * kCountT;
constexpr char32_t kHangulCount = kCountL * kCountN;

// Longer texts than this are not passwords; the bound keeps the work small.
constexpr size_t kMaxInputBytes = 1024;

bool InRanges(const CodeRange* ranges, size_t count, char32_t c) {
    const CodeRange* end = ranges + count;
    const CodeRange* r = std::upper_bound(ranges, end, c, [](char32_t v, const CodeRange& x) { return v < x.first; });
    return r != ranges && c <= (r - 1)->last;
}

uint8_t CombiningClass(char32_t c) {
    const ClassRange* end = kCombiningClass + kCombiningClassCount;
    const ClassRange* r =
        std::upper_bound(kCombiningClass, end, c, [](char32_t v, const ClassRange& x) { return v < x.first; });
    return r != kCombiningClass && c <= (r - 1)->last ? (r - 1)->combiningClass : 0;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool DecodeUtf8(const std::string& text, std::u32string& out) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        const unsigned char b = *p++;
        if (b < 0x80) {
            out.push_back(b);
            continue;
        }
        int more;
        char32_t c, least;
        if ((b & 0xE0) == 0xC0) more = 1, c = b & 0x1F, least = 0x80;
        else if ((b & 0xF0) == 0xE0) more = 2, c = b & 0x0F, least = 0x800;
        else if ((b & 0xF8) == 0xF0) more = 3, c = b & 0x07, least = 0x10000;
        else return false;
        if (end - p < more) return false;
        for (int i = 0; i < more; ++i, ++p) {
            if ((*p & 0xC0) != 0x80) return false;
            c = c << 6 | (*p & 0x3F);
        }
        if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
        out.push_back(c);
    }
    return true;
}

void EncodeUtf8(const std::u32string& text, std::string& out) {
    out.clear();
    for (char32_t c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | c >> 18);
            out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
}

void Decompose(char32_t c, std::u32string& out) {
    if (c >= kHangulFirst && c < kHangulFirst + kHangulCount) {
        const char32_t index = c - kHangulFirst;
        out.push_back(kJamoL + index / kCountN);
        out.push_back(kJamoV + index % kCountN / kCountT);
        if (index % kCountT) out.push_back(kJamoT + index % kCountT);
        return;
    }
    const Decomposition* end = kDecomposition + kDecompositionCount;
    const Decomposition* d = std::lower_bound(kDecomposition, end, c,
                                              [](const Decomposition& x, char32_t v) { return x.codePoint < v; });
    if (d == end || d->codePoint != c) {
        out.push_back(c);
        return;
    }
    out.append(kDecompositionPool + d->offset, kDecompositionPool + d->offset + d->length);
}

// The composite of a starter and a following character, or 0.
char32_t Compose(char32_t first, char32_t second) {
    if (first >= kJamoL && first < kJamoL + kCountL && second >= kJamoV && second < kJamoV + kCountV)
        return kHangulFirst + ((first - kJamoL) * kCountV + (second - kJamoV)) * kCountT;
    if (first >= kHangulFirst && first < kHangulFirst + kHangulCount && (first - kHangulFirst) % kCountT == 0 &&
        second > kJamoT && second < kJamoT + kCountT)
        return first + (second - kJamoT);
    const Composition* end = kComposition + kCompositionCount;
    const Composition* c = std::lower_bound(kComposition, end, std::make_pair(first, second),
                                            [](const Composition& x, const std::pair<char32_t, char32_t>& v) {
                                                return x.first < v.first || (x.first == v.first && x.second < v.second);
                                            });
    return c != end && c->first == first && c->second == second ? c->composite : 0;
}

}  // namespace

void NormaliseKc(std::u32string& text) {
    std::u32string decomposed;
    for (char32_t c : text) Decompose(c, decomposed);
    // Canonical order: each run of marks sorted by class, keeping the order
    // of equal classes (an insertion sort, bounded by the text's length).
    for (size_t i = 1; i < decomposed.size(); ++i) {
        const uint8_t cc = CombiningClass(decomposed[i]);
        if (cc == 0) continue;
        for (size_t j = i; j > 0; --j) {
            const uint8_t before = CombiningClass(decomposed[j - 1]);
            if (before <= cc) break;
            std::swap(decomposed[j - 1], decomposed[j]);
        }
    }
    // Canonical composition: a character joins the last starter unless a
    // character between them has class 0 or a class not below its own.
    text.clear();
    size_t starter = std::u32string::npos;
    int lastClass = 0;  // of the last character kept after the starter
    for (char32_t c : decomposed) {
        const int cc = CombiningClass(c);
        if (starter != std::u32string::npos) {
            const bool adjacent = text.size() == starter + 1;
            if (adjacent || (lastClass != 0 && lastClass < cc)) {
                if (char32_t composite = Compose(text[starter], c)) {
                    text[starter] = composite;
                    continue;
                }
            }
        }
        if (cc == 0) starter = text.size();
        lastClass = cc;
        text.push_back(c);
    }
}

bool SaslPrep(const std::string& input, std::string& out) {
    std::u32string text;
    if (input.size() > kMaxInputBytes || !DecodeUtf8(input, text)) return false;
    std::u32string mapped;
    for (char32_t c : text) {
        if (InRanges(kMapToNothing, kMapToNothingCount, c)) continue;
        mapped.push_back(InRanges(kNonAsciiSpace, kNonAsciiSpaceCount, c) ? U' ' : c);
    }
    NormaliseKc(mapped);
    bool anyRandAL = false, anyLeftToRight = false;
    for (char32_t c : mapped) {
        if (InRanges(kProhibited, kProhibitedCount, c)) return false;
        anyRandAL |= InRanges(kRandAL, kRandALCount, c);
        anyLeftToRight |= InRanges(kLeftToRight, kLeftToRightCount, c);
    }
    // Right-to-left text holds no left-to-right character and starts and
    // ends with a right-to-left one.
    if (anyRandAL && (anyLeftToRight || !InRanges(kRandAL, kRandALCount, mapped.front()) ||
                      !InRanges(kRandAL, kRandALCount, mapped.back())))
        return false;
    EncodeUtf8(mapped, out);
    return true;
}

}  // namespace brisel
