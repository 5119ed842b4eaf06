// Password preparation for revisions 5 and 6: SASLprep (RFC 4013), that is
// stringprep (RFC 3454) with its mapping, NFKC normalisation, prohibited
// characters and the bidirectional check, over Unicode 3.2.
#pragma once

#include <string>

namespace brisel {

// Prepares UTF-8 text. False when the text is not UTF-8 or longer than 1024
// bytes, holds a prohibited or unassigned character, or mixes directions
// badly; out then holds nothing of use.
bool SaslPrep(const std::string& text, std::string& out);

// Normalisation form KC of a sequence of code points, in place.
void NormaliseKc(std::u32string& text);

}  // namespace brisel
