// PDF text strings as text. A text string is UTF-16BE after the mark FE FF,
// UTF-8 after the mark EF BB BF, and PDFDocEncoding (one byte a character)
// otherwise. Every place that shows, names or compares such a string decodes
// it here, and every UTF-8 the engine makes or checks goes through here too.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace brisel {

constexpr char32_t kReplacementCharacter = 0xFFFD;

// The characters of a text string's bytes (its mark not included). Bytes
// that are no character (a lone surrogate, a malformed UTF-8 sequence, a
// byte PDFDocEncoding leaves undefined) become U+FFFD; the language marks
// that UTF-16 strings may carry (ESC ... ESC) are left out.
std::u32string DecodePdfText(std::string_view bytes);

// The same as UTF-8.
std::string PdfTextToUtf8(std::string_view bytes);

// The character of one PDFDocEncoding byte; U+FFFD when it has none.
char32_t PdfDocCharacter(unsigned char byte);

// The PDFDocEncoding byte of a character; -1 when the encoding lacks it.
int PdfDocByte(char32_t c);

// The UTF-8 text in PDFDocEncoding; false when it is not valid UTF-8 or
// holds a character the encoding lacks.
bool Utf8ToPdfDoc(std::string_view utf8, std::string& out);

// Appends one character in UTF-8 (surrogates and values past U+10FFFF as
// U+FFFD).
void AppendUtf8(std::string& out, char32_t c);
std::string EncodeUtf8(std::u32string_view text);

// The length of the UTF-8 sequence at text[i], or 0 when none starts there
// (overlong forms, surrogates and values past U+10FFFF included).
size_t Utf8SequenceLength(std::string_view text, size_t i);

// Strict UTF-8 to characters; false on any malformed sequence.
bool DecodeUtf8(std::string_view text, std::u32string& out);

// The columns a terminal gives UTF-8 text: two for East Asian wide and
// full-width characters, one for others.
size_t TextColumns(std::string_view text);

// The longest start of the text that takes at most columns columns, cut
// between characters.
std::string FitColumns(std::string_view text, size_t columns);

}  // namespace brisel
