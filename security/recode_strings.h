// Copies object text with every string encrypted or decrypted on the way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/job.h"
#include "pdfread/lexer.h"

namespace brisel {

// RecodeStrings' results besides 0.
enum RecodeStringsResult : int { kStringsUnclosed = -1, kStringsCodecFailed = -2, kStringsNoMemory = -3 };

// Appends the text [from, stop) to out; each literal and hexadecimal string
// goes through the codec (-1: strings stay as they are) with the object key.
// Decrypted and encrypted strings are written back as literal strings with
// line ends, parentheses and backslashes escaped, or as upper-case
// hexadecimal strings. 0, or a RecodeStringsResult.
int RecodeStrings(Cursor from, Cursor stop, std::string& out, const uint8_t* key, size_t keyLength,
                  int codec, bool encrypt);

// Appends bytes as the body of a literal string, escaped as RecodeStrings
// writes them.
void AppendEscapedString(std::string& out, const uint8_t* bytes, size_t length);

// Appends bytes as a hexadecimal string, "<" and ">" included.
void AppendHexString(std::string& out, const uint8_t* bytes, size_t length);

}  // namespace brisel
