// The decrypting object copier of the cross-reference-stream rewrite: each
// object that lies in the file itself (not in an object stream) is written
// into the new classic image with its strings and streams decrypted.
#pragma once

#include <cstdint>
#include <string>

#include "security/recode_object.h"

namespace brisel {

// Appends the object at offset (header "number generation obj") to out as
// "number generation obj", its decrypted body and "endobj". The encryption
// dictionary and cross-reference streams are dropped: out is left as it was
// and written is false. 0, or a negative code.
int CopyDecryptedObject(RecodeContext& context, int32_t number, int32_t generation, int64_t offset,
                        std::string& out, bool& written);

}  // namespace brisel
