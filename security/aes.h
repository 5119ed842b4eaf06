// AES with a 128-bit block and a 128-bit key (FIPS-197): the "AESV2" crypt
// method and the revision 6 password hash; with a 256-bit key: the "AESV3"
// crypt method. Byte j of a block is row j mod 4, column j div 4, as
// FIPS-197 orders input.
#pragma once

#include <cstddef>
#include <cstdint>

namespace brisel {

// The expanded key of one AES key: rounds + 1 round keys of 16 bytes (11 for
// AES-128, 15 for AES-256), and the same as column words for encryption and
// for the equivalent inverse cipher (the inner round keys passed through
// InvMixColumns). Each codec call keeps its own, so jobs can encrypt side by
// side.
struct AesRoundKeys {
    uint8_t bytes[240];
    uint32_t encrypt[60];
    uint32_t decrypt[60];
    int rounds;
};

void AesExpandKey(AesRoundKeys& keys, const uint8_t key[16]);
// keyLength is 16 (AES-128) or 32 (AES-256).
void AesExpandKey(AesRoundKeys& keys, const uint8_t* key, size_t keyLength);
void AesEncryptBlock(uint8_t block[16], const AesRoundKeys& keys);
void AesDecryptBlock(uint8_t block[16], const AesRoundKeys& keys);

}  // namespace brisel
