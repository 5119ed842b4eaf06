// AES with a 128-bit key and block (FIPS-197): the "AESV2" crypt method.
// Byte j of a block is row j mod 4, column j div 4, as FIPS-197 orders input.
#pragma once

#include <cstdint>

namespace brisel {

// The expanded key of one AES-128 key: 11 round keys of 16 bytes, and the
// same as column words for encryption and for the equivalent inverse cipher
// (round keys 1 to 9 passed through InvMixColumns). Each codec call keeps its
// own, so jobs can encrypt side by side.
struct AesRoundKeys {
    uint8_t bytes[176];
    uint32_t encrypt[44];
    uint32_t decrypt[44];
};

void AesExpandKey(AesRoundKeys& keys, const uint8_t key[16]);
void AesEncryptBlock(uint8_t block[16], const AesRoundKeys& keys);
void AesDecryptBlock(uint8_t block[16], const AesRoundKeys& keys);

}  // namespace brisel
