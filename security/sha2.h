// SHA-256, SHA-384 and SHA-512 (FIPS 180-4): the password hashes of
// revisions 5 and 6.
#pragma once

#include <cstddef>
#include <cstdint>

namespace brisel {

struct Sha256Context {
    uint32_t state[8];
    uint64_t length;  // bytes fed so far
    uint8_t buffer[64];
};

// SHA-384 is SHA-512 with other initial values, cut to 48 bytes.
struct Sha512Context {
    uint64_t state[8];
    uint64_t length;  // bytes fed so far; messages here stay far below 2^64
    uint8_t buffer[128];
    size_t digestLength;  // 48 or 64
};

void Sha256Init(Sha256Context& context);
void Sha256Update(Sha256Context& context, const uint8_t* bytes, size_t length);
// Writes the 32-byte digest and wipes the context.
void Sha256Final(uint8_t digest[32], Sha256Context& context);

void Sha384Init(Sha512Context& context);
void Sha512Init(Sha512Context& context);
void Sha512Update(Sha512Context& context, const uint8_t* bytes, size_t length);
// Writes the 48 (SHA-384) or 64 (SHA-512) byte digest and wipes the context.
void Sha512Final(uint8_t* digest, Sha512Context& context);

// The digest of one buffer.
void Sha256(const uint8_t* bytes, size_t length, uint8_t digest[32]);
void Sha384(const uint8_t* bytes, size_t length, uint8_t digest[48]);
void Sha512(const uint8_t* bytes, size_t length, uint8_t digest[64]);

}  // namespace brisel
