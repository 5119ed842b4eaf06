// The password algorithms of the standard security handler: the file key
// from a password, and the user and owner password checks, for revisions 2
// to 4 (MD5 and RC4) and, through the AES-256 algorithms, 5 and 6.
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
    const uint8_t* owner = nullptr;  // 32 bytes; 48 from revision 5 on
    const uint8_t* user = nullptr;   // 32 bytes; 48 from revision 5 on
    const uint8_t* ownerKey = nullptr;  // revisions 5 and 6: /OE, 32 bytes
    const uint8_t* userKey = nullptr;   // revisions 5 and 6: /UE, 32 bytes
    int32_t permissions = 0;
    const uint8_t* id = nullptr;
    size_t idLength = 0;
    size_t n = 5;  // file key length in bytes, 1..16
    bool encryptMetadata = true;
};

KeyInputs MakeKeyInputs(const ReaderRecord& reader);

// Writes the 16-byte digest whose first n bytes are the file key.
void ComputeFileKey(const KeyInputs& in, const uint8_t* password, size_t length, uint8_t key[16]);

// Whether the password is the user password; the key buffer (32 bytes)
// receives the file key it gives. From revision 5 on the password is UTF-8
// text as typed, prepared here.
bool CheckUserPassword(const KeyInputs& in, const uint8_t* password, size_t length, uint8_t key[32]);

// Whether the password is the owner password; on success the key buffer (32
// bytes) holds the file key.
bool CheckOwnerPassword(const KeyInputs& in, const uint8_t* password, size_t length, uint8_t key[32]);

}  // namespace brisel
