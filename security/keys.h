// The password algorithms of the standard security handler, revisions 2 to
// 4: the file key from a password, and the user and owner password checks.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/job.h"
#include "pdfread/reader_record.h"

namespace brisel {

// What the key algorithms read from the encryption dictionary and the
// document identifier.
struct KeyInputs {
    int R = 0;
    const uint8_t* owner = nullptr;  // 32 bytes
    const uint8_t* user = nullptr;   // 32 bytes
    int32_t permissions = 0;
    const uint8_t* id = nullptr;
    size_t idLength = 0;
    size_t n = 5;  // file key length in bytes, 1..16
    bool encryptMetadata = true;
};

KeyInputs MakeKeyInputs(const ReaderRecord& reader);

// Writes the 16-byte digest whose first n bytes are the file key.
void ComputeFileKey(const KeyInputs& in, const uint8_t* password, size_t length, uint8_t key[16]);

// Whether the password is the user password; the key buffer receives the file
// key it gives.
bool CheckUserPassword(const KeyInputs& in, const uint8_t* password, size_t length, uint8_t key[16]);

// Whether the password is the owner password; on success the key buffer holds
// the file key.
bool CheckOwnerPassword(const KeyInputs& in, const uint8_t* password, size_t length, uint8_t key[16]);

}  // namespace brisel
