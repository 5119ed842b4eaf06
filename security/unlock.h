// Opening an encrypted input: support checks, passwords, permission to split
// and the decryption of the whole image.
#pragma once

#include <string>

#include "base/block.h"
#include "base/job.h"
#include "pdfread/xref_table.h"

namespace brisel {

// 0 with the image replaced by its decrypted form; 10 when the user was told
// or cancelled; any other value is a failure.
int UnlockDocument(Job& job, const std::string& inputPath, Block& image, XrefTable& table);

}  // namespace brisel
