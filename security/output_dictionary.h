// The encryption dictionary and trailer entries of an encrypted page file:
// the input's handler, passwords and permissions, so that the input's
// passwords open it.
#pragma once

#include <cstdint>
#include <string>

#include "pdfread/reader_record.h"

namespace brisel {

// Appends "N 0 obj ... endobj" with the dictionary built from the input's
// security state.
void AppendEncryptDictionary(const SecurityState& security, int32_t number, std::string& out);

// Appends the /ID entry: the document identifier the file key derives from,
// twice.
void AppendFileId(const ReaderRecord& reader, std::string& out);

}  // namespace brisel
