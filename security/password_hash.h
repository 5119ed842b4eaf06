// The password algorithms of revisions 5 and 6 (AES-256): the password
// hash, the user and owner checks that unwrap the file key from /UE or /OE,
// and the check of /Perms against /P.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace brisel {

// The byte strings a typed UTF-8 password may stand for: its SASLprep form
// cut to 127 bytes, then, when that differs, the text as typed cut to 127
// bytes, for writers that skip the preparation (or text it refuses).
std::vector<std::string> PasswordCandidates256(const std::string& typed);

// The hash of a password (at most 127 bytes) with an 8-byte salt and, for
// the owner password, the 48 bytes of /U (userData null otherwise).
// Revision 5 takes one SHA-256; revision 6 iterates SHA-256, SHA-384,
// SHA-512 and AES-128 at least 64 rounds.
void PasswordHash(int R, const uint8_t* password, size_t length, const uint8_t salt[8], const uint8_t* userData,
                  uint8_t out[32]);

// What the checks read from the encryption dictionary: /O and /U of 48
// bytes (hash, validation salt, key salt), /OE and /UE of 32 bytes.
struct Aes256KeyInputs {
    int R = 6;
    const uint8_t* owner = nullptr;
    const uint8_t* user = nullptr;
    const uint8_t* ownerKey = nullptr;
    const uint8_t* userKey = nullptr;
};

// Whether the prepared password (at most 127 bytes) is the user or the owner
// password; on success key receives the 32-byte file key.
bool CheckUserPassword256(const Aes256KeyInputs& in, const uint8_t* password, size_t length, uint8_t key[32]);
bool CheckOwnerPassword256(const Aes256KeyInputs& in, const uint8_t* password, size_t length, uint8_t key[32]);

// Whether /Perms, decrypted with the file key, carries the marker "adb", the
// permissions of /P and the metadata flag of /EncryptMetadata.
bool PermsMatch(const uint8_t perms[16], const uint8_t key[32], int32_t permissions, bool encryptMetadata);

// Whether /Perms, decrypted with the file key, is a seal (the marker "adb")
// of permissions other than those given: /P was altered after sealing.
bool PermsSealOthers(const uint8_t perms[16], const uint8_t key[32], int32_t permissions);

// Seals the permissions and the metadata flag with the file key into perms.
void SealPermissions(const uint8_t key[32], int32_t permissions, bool encryptMetadata, uint8_t perms[16]);

}  // namespace brisel
