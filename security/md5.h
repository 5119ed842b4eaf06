// MD5 (RFC 1321): every key derivation of the security handler and the
// digest behind AES initialisation vectors.
#pragma once

#include <cstddef>
#include <cstdint>

namespace brisel {

struct Md5Context {
    uint32_t state[4];
    uint32_t bits[2];  // message length in bits, low word first
    uint8_t buffer[64];
};

void Md5Init(Md5Context& context);
void Md5Update(Md5Context& context, const uint8_t* bytes, size_t length);
// Writes the 16-byte digest and wipes the context.
void Md5Final(uint8_t digest[16], Md5Context& context);

// The digest of one buffer.
void Md5(const uint8_t* bytes, size_t length, uint8_t digest[16]);

}  // namespace brisel
