// RC4: the "V2" crypt method and the password checks.
#pragma once

#include <cstddef>
#include <cstdint>

namespace brisel {

struct Rc4State {
    int x, y;
    uint8_t s[256];
};

// keyLength must be at least 1.
void Rc4SetKey(Rc4State& state, const uint8_t* key, size_t keyLength);
uint8_t Rc4Next(Rc4State& state);
// out[i] = in[i] XOR keystream; the same call encrypts and decrypts, and out
// may be in.
void Rc4Crypt(Rc4State& state, uint8_t* out, const uint8_t* in, size_t length);

// One RC4 pass over a buffer with a fresh key.
void Rc4(const uint8_t* key, size_t keyLength, uint8_t* out, const uint8_t* in, size_t length);

}  // namespace brisel
