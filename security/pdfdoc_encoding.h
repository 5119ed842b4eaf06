// PDFDocEncoding: the one-byte text encoding of revision 2 to 4 passwords.
#pragma once

#include <string>

namespace brisel {

// The UTF-8 text in PDFDocEncoding; false when it is not valid UTF-8 or
// holds a character the encoding lacks.
bool Utf8ToPdfDoc(const std::string& utf8, std::string& out);

}  // namespace brisel
