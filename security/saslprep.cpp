#include "security/saslprep.h"

#include <algorithm>
#include <cstdint>

#include "base/pdf_text.h"
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
    out = EncodeUtf8(mapped);
    return true;
}

}  // namespace brisel
