// Cursor primitives over the raw bytes of a PdfImage. Nothing here builds a
// parse tree: every reader moves a cursor through the image with an explicit
// end bound, and no primitive reads or steps past that bound. Each is a plain
// function of the bytes and the cursor: what it answers depends on nothing
// an earlier call left behind.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/failure.h"

namespace brisel {

using Cursor = const uint8_t*;

// Character classes, looked up in one table: the scanners test them for
// every byte they step over.
enum : uint8_t {
    kClassWhite = 1,       // NUL TAB LF FF CR SPACE
    kClassDelimiter = 2,   // ( ) < > [ ] { } % /
    kClassDigit = 4,
    kClassBracket = 8,     // < > [ ] { }
};

constexpr std::array<uint8_t, 256> MakeCharClass() {
    std::array<uint8_t, 256> table{};
    for (uint8_t c : {0, 9, 10, 12, 13, 32}) table[c] |= kClassWhite;
    for (char c : std::string_view("()<>[]{}%/")) table[static_cast<uint8_t>(c)] |= kClassDelimiter;
    for (char c : std::string_view("<>[]{}")) table[static_cast<uint8_t>(c)] |= kClassBracket;
    for (int c = '0'; c <= '9'; ++c) table[static_cast<size_t>(c)] |= kClassDigit;
    return table;
}
inline constexpr std::array<uint8_t, 256> kCharClass = MakeCharClass();

inline bool IsWhite(uint8_t c) { return kCharClass[c] & kClassWhite; }
inline bool IsDigit(uint8_t c) { return kCharClass[c] & kClassDigit; }
inline bool IsLineEnd(uint8_t c) { return c == '\n' || c == '\r'; }
// White space or a delimiter: where a token ends.
inline bool IsDelimiter(uint8_t c) { return kCharClass[c] & (kClassWhite | kClassDelimiter); }
// Bytes that end a number for ReadInt.
inline bool IsNumberTerminator(uint8_t c) { return IsDelimiter(c); }
// Bytes that end a key for FindKey (a closing parenthesis is not one).
inline bool IsKeyTerminator(uint8_t c) { return c != ')' && IsDelimiter(c); }
// White, "%" or "/": what may follow a key before its value.
inline bool IsKeyDelimiter(uint8_t c) { return IsWhite(c) || c == '%' || c == '/'; }

// Whether [cur, end) starts with the text.
bool StartsWith(Cursor cur, Cursor end, const char* text);

// SkipSpace's codes.
enum SpaceCode : int32_t { kSpaceEndInWhite = -154, kSpaceEndInComment = -155 };

// Skips white space and comments: the number of bytes skipped, or the
// failure when the end is reached.
Result<int64_t> SkipSpace(Cursor& cur, Cursor end);

// Skips white space and comments; false at the end.
bool SkipWhiteAndComments(Cursor& cur, Cursor end);

// ReadInt's codes.
enum ReadIntCode : int32_t {
    kIntAtEnd = -9,
    kIntEndInSpace = -10,
    kIntNoDigit = -11,
    kIntTooLong = -12,  // digits run to the bound with more than 20 bytes left
    kIntBadTerminator = -13,
};

// Reads an unsigned decimal integer after white space and comments. Values
// beyond 32 bits saturate at INT32_MAX.
Result<int32_t> ReadInt(Cursor& cur, Cursor end);

// Where ReadLong saturates: far beyond any file, far below overflow.
constexpr int64_t kMaxLong = int64_t{1} << 62;

// ReadInt for offsets and lengths, which pass 32 bits in files over 2 GiB.
Result<int64_t> ReadLong(Cursor& cur, Cursor end);

// The number reader of the scanners: decimal digits at cur ended by a
// delimiter or the bound, saturating at the 32-bit maximum. false (cur
// unmoved) when cur holds no such number.
bool ReadDigits(Cursor& cur, Cursor end, int32_t& value);

// ReadDigits after white space and comments.
bool ReadNumberToken(Cursor& cur, Cursor end, int32_t& value);

// "N G R" at cur, white space and comments allowed between the parts and
// "R" ended by a delimiter: true with cur just after "R".
bool ReadReference(Cursor& cur, Cursor end, int32_t& number, int32_t& generation);

// The two numbers of a trailer's reference value ("N G" from cur, with
// whatever follows left alone): true when both are there.
bool ReadNumberPair(Cursor cur, Cursor end, int32_t& number, int32_t& generation);

// Finds a key at depth 0 of a dictionary body; null when absent (an
// ordinary answer, not a failure).
Cursor FindKey(const char* key, Cursor from, Cursor end);

// From just after "<<", the first byte of the matching ">>"; null if none.
Cursor FindDictEnd(Cursor from, Cursor end);

// Steps over the dictionary whose "<<" stands at p (not checked): p moves
// just after its ">>". false, p unmoved, when it has no end.
inline bool StepOverDict(Cursor& p, Cursor end) {
    Cursor close = end - p >= 2 ? FindDictEnd(p + 2, end) : nullptr;
    if (!close) return false;
    p = close + 2;
    return true;
}

// The first occurrence of text that lies wholly in [from, end); null if none.
Cursor FindFirst(Cursor from, Cursor end, const char* text);

// Searches backwards from cur for a keyword that is not inside a comment:
// true with cur at the match; false (cur unmoved) when there is none. With
// stop, a stop request seen between steps of 16 MB ends the search (false):
// a large input without the keyword would otherwise keep a stop waiting.
bool FindBackward(Cursor start, Cursor& cur, const char* keyword, const std::atomic<int>* stop = nullptr);

// Steps over a literal string; cur stands on its "(" and ends on the matching
// ")". A backslash makes the next byte ordinary. false at the end bound.
bool SkipLiteralString(Cursor& cur, Cursor end);

// Results of ReadLiteralString and ReadHexString besides the byte count.
enum StringReadResult : int { kStringUnclosed = -1, kStringTooLong = -2 };

// Decodes a literal string (cur just after "("); the bytes stored.
int ReadLiteralString(Cursor& cur, Cursor end, uint8_t* out, int capacity);

// Decodes a hexadecimal string (cur just after "<"); as above.
int ReadHexString(Cursor& cur, Cursor end, uint8_t* out, int capacity);

// Reads two numbers and a keyword at cur ("N G obj", "N G R"), white space
// and comments allowed before each part: the one reader of object headers
// and of references written as values. None with both numbers and cur just
// after the keyword; otherwise the part that is missing, with cur where that
// part's reading left it. The keyword needs no delimiter after it.
enum class PartFault { None, Number, Generation, End, NoKeyword };
PartFault ReadNumbersAndKeyword(Cursor& cur, Cursor end, const char* keyword, int32_t& number,
                                int32_t& generation);

// The "N G obj" header at cur.
inline PartFault ReadObjectHeader(Cursor& cur, Cursor end, int32_t& number, int32_t& generation) {
    return ReadNumbersAndKeyword(cur, end, "obj", number, generation);
}

// A reference written as a value, "N G R" (ReadReference is the stricter
// reader of the token scanners: digits at cur and a delimiter after "R").
inline PartFault ReadReferenceValue(Cursor& cur, Cursor end, int32_t& number, int32_t& generation) {
    return ReadNumbersAndKeyword(cur, end, "R", number, generation);
}

// FindObjectHeader's results besides 0.
enum HeaderScanResult : int {
    kHeaderScanSpace = -1,
    kHeaderScanEndInToken = -2,
    kHeaderScanEndInComment = -3,
    kHeaderScanEndAfterBracket = -4,
    kHeaderScanSpaceAfterGeneration = -6,
    kHeaderScanNoRoom = -7,
    kHeaderScanSpaceAfterObj = -8,
    kHeaderScanStopped = -9,
};

// Finds the next "N G obj" header at or after from: 0 and the header's first
// digit, or a negative code when there is none. With stop, the scan goes in
// steps of 16 MB and a stop request ends it (kHeaderScanStopped).
int FindObjectHeader(Cursor from, Cursor end, Cursor& header, const std::atomic<int>* stop = nullptr);

// FindObjectEnd's results besides 0.
enum ObjectEndResult : int {
    kObjectEndSpace = -1,
    kObjectEndAfterDelimiter = -2,
    kObjectEndNoRoom = -3,
    kObjectEndSpaceAfterName = -4,  // after "/Catalog" or "endobj"
    kObjectEndCatalogGlued = -5,
    kObjectEndInToken = -10,
    kObjectEndStopped = -11,
};

// Finds the end of the object that starts at from: 0 and the position just
// after "endobj", or a negative code. Sets catalogSeen on "/Catalog". With
// stop, as FindObjectHeader (kObjectEndStopped).
int FindObjectEnd(Cursor from, Cursor end, Cursor& objectEnd, bool& catalogSeen,
                  const std::atomic<int>* stop = nullptr);

}  // namespace brisel
