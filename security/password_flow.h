// Deciding whether an encrypted input can be split: the support checks, the
// permission to split and the password loop. Shared by the classic unlock
// and the cross-reference-stream rewrite, both of which first read the
// encryption dictionary into job.Security.
#pragma once

#include <cstdint>

#include "base/job.h"

namespace brisel {

// The file key length in bytes for a /Length in bits: 5 when that gives 0.
int32_t KeyBytesFor(uint32_t keyLengthBits);

// Whether the dictionary describes a revision 2 to 4 standard handler file
// that this program can decrypt (needs job.Security.KeyBytes).
bool IsSupportedEncryption(const SecurityState& security);

// Whether the permissions let a user who only opens the file split it.
bool SplitPermitted(const SecurityState& security);

// Converts the key length, runs the checks and finds a password. 0 with the
// file key in job.Security.FileKey; 10 when the user was told why (or
// cancelled, or gave three wrong passwords).
int AuthenticateDocument(Job& job);

}  // namespace brisel
