// Reading single values of the catalog, outline items and destination tables:
// indirect references resolved to the object they name, destination arrays
// and the view part that follows their page reference.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/failure.h"
#include "docstruct/document.h"

namespace brisel {

// The codes a caller gives for the ways a value can fail to resolve.
struct ValueCodes {
    int32_t end;         // the image ends before the value
    int32_t generation;  // "N" is not followed by a generation number
    int32_t noR;         // "N G" is not followed by "R"
    int32_t missing;     // the named object is not in the file
};

// Skips white space and comments before the value at p. When the value is a
// reference "N G R", p moves to the body of the object it names, *number gets
// N and *afterReference the byte after "R" (each when given). true for a
// resolved reference, false for a direct value (p on its first byte), or the
// failure from codes, placed at the value.
Result<bool> ResolveValue(const Document& doc, Cursor& p, const ValueCodes& codes, int32_t* number = nullptr,
                          Cursor* afterReference = nullptr);

// The codes of a /Kids array that ends where it must not.
struct KidsCodes {
    int32_t endReached;  // the image ends after the last element
    int32_t notClosed;   // something other than "]" follows it
};

// NextKid's own codes.
enum KidCode : int32_t { kKidNoGeneration = -140, kKidEndReached = -141, kKidNoR = -142 };

// The next element of a /Kids array at cur. true with the reference "N G R"
// it holds (cur after "R"); false when no number follows (cur on the closing
// "]", checked when checkClose); or the failure: the codes given or a KidCode.
Result<bool> NextKid(Cursor& cur, Cursor end, const KidsCodes& codes, bool checkClose, int32_t& number,
                     int32_t& generation);

// The bytes of [from, to) of the image, for comparing names.
inline std::string_view BytesBetween(Cursor from, Cursor to) {
    return {reinterpret_cast<const char*>(from), static_cast<size_t>(to - from)};
}

// Whether p starts a dictionary ("<<").
inline bool AtDict(Cursor p, Cursor end) { return end - p >= 2 && p[0] == '<' && p[1] == '<'; }

// The bytes of a view part (from its first byte up to the closing "]" of its
// destination array, comments included), or -1 when no "]" closes it before
// a byte that belongs to no view: another bracket, a string or a dictionary.
// Copied into a page file, such bytes would swallow what follows.
int64_t ViewLength(Cursor from, Cursor end);

// An explicit destination "[ N G R view ]" with p on its "[".
struct ExplicitDest {
    int32_t page = 0;  // the page object number N
    Cursor view = nullptr;
    int32_t viewLength = 0;
    Cursor after = nullptr;  // the byte after the closing "]"
};
bool ReadExplicitDest(Cursor p, Cursor end, ExplicitDest& dest);

// The byte after the string that starts at p: a literal string (balanced
// parentheses, backslash escapes) or a hexadecimal string. null when p holds
// no string or it is not closed.
Cursor StringEnd(Cursor p, Cursor end);

}  // namespace brisel
