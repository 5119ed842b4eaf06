#include "security/aes.h"

#include <array>
#include <cstring>

namespace brisel {

namespace {

constexpr uint8_t kSbox[256] = {
    0x63, 0x7c, 0x77, 0x7b, 0xf2, 0x6b, 0x6f, 0xc5, 0x30, 0x01, 0x67, 0x2b, 0xfe, 0xd7, 0xab, 0x76, 0xca, 0x82,
    0xc9, 0x7d, 0xfa, 0x59, 0x47, 0xf0, 0xad, 0xd4, 0xa2, 0xaf, 0x9c, 0xa4, 0x72, 0xc0, 0xb7, 0xfd, 0x93, 0x26,
    0x36, 0x3f, 0xf7, 0xcc, 0x34, 0xa5, 0xe5, 0xf1, 0x71, 0xd8, 0x31, 0x15, 0x04, 0xc7, 0x23, 0xc3, 0x18, 0x96,
    0x05, 0x9a, 0x07, 0x12, 0x80, 0xe2, 0xeb, 0x27, 0xb2, 0x75, 0x09, 0x83, 0x2c, 0x1a, 0x1b, 0x6e, 0x5a, 0xa0,
    0x52, 0x3b, 0xd6, 0xb3, 0x29, 0xe3, 0x2f, 0x84, 0x53, 0xd1, 0x00, 0xed, 0x20, 0xfc, 0xb1, 0x5b, 0x6a, 0xcb,
    0xbe, 0x39, 0x4a, 0x4c, 0x58, 0xcf, 0xd0, 0xef, 0xaa, 0xfb, 0x43, 0x4d, 0x33, 0x85, 0x45, 0xf9, 0x02, 0x7f,
    0x50, 0x3c, 0x9f, 0xa8, 0x51, 0xa3, 0x40, 0x8f, 0x92, 0x9d, 0x38, 0xf5, 0xbc, 0xb6, 0xda, 0x21, 0x10, 0xff,
    0xf3, 0xd2, 0xcd, 0x0c, 0x13, 0xec, 0x5f, 0x97, 0x44, 0x17, 0xc4, 0xa7, 0x7e, 0x3d, 0x64, 0x5d, 0x19, 0x73,
    0x60, 0x81, 0x4f, 0xdc, 0x22, 0x2a, 0x90, 0x88, 0x46, 0xee, 0xb8, 0x14, 0xde, 0x5e, 0x0b, 0xdb, 0xe0, 0x32,
    0x3a, 0x0a, 0x49, 0x06, 0x24, 0x5c, 0xc2, 0xd3, 0xac, 0x62, 0x91, 0x95, 0xe4, 0x79, 0xe7, 0xc8, 0x37, 0x6d,
    0x8d, 0xd5, 0x4e, 0xa9, 0x6c, 0x56, 0xf4, 0xea, 0x65, 0x7a, 0xae, 0x08, 0xba, 0x78, 0x25, 0x2e, 0x1c, 0xa6,
    0xb4, 0xc6, 0xe8, 0xdd, 0x74, 0x1f, 0x4b, 0xbd, 0x8b, 0x8a, 0x70, 0x3e, 0xb5, 0x66, 0x48, 0x03, 0xf6, 0x0e,
    0x61, 0x35, 0x57, 0xb9, 0x86, 0xc1, 0x1d, 0x9e, 0xe1, 0xf8, 0x98, 0x11, 0x69, 0xd9, 0x8e, 0x94, 0x9b, 0x1e,
    0x87, 0xe9, 0xce, 0x55, 0x28, 0xdf, 0x8c, 0xa1, 0x89, 0x0d, 0xbf, 0xe6, 0x42, 0x68, 0x41, 0x99, 0x2d, 0x0f,
    0xb0, 0x54, 0xbb, 0x16};

constexpr std::array<uint8_t, 256> InverseSbox() {
    std::array<uint8_t, 256> inverse{};
    for (int i = 0; i < 256; ++i) inverse[kSbox[i]] = static_cast<uint8_t>(i);
    return inverse;
}
constexpr std::array<uint8_t, 256> kInverseSbox = InverseSbox();

// Multiplication in GF(2^8) modulo x^8 + x^4 + x^3 + x + 1.
constexpr uint8_t Times2(uint8_t x) { return static_cast<uint8_t>((x << 1) ^ ((x & 0x80) ? 0x1b : 0)); }
constexpr uint8_t Multiply(uint8_t x, uint8_t y) {
    uint8_t product = 0;
    for (; y; y >>= 1, x = Times2(x))
        if (y & 1) product ^= x;
    return product;
}

// Round tables: a column's contribution to the next state after SubBytes,
// ShiftRows and MixColumns (or their inverses), one 32-bit word per byte
// value, row 0 in the high byte. Tables 1 to 3 are table 0 rotated.
constexpr uint32_t Column(uint8_t r0, uint8_t r1, uint8_t r2, uint8_t r3) {
    return static_cast<uint32_t>(r0) << 24 | static_cast<uint32_t>(r1) << 16 | static_cast<uint32_t>(r2) << 8 | r3;
}
constexpr uint32_t RotateRight(uint32_t w, int bits) { return w >> bits | w << (32 - bits); }

using RoundTable = std::array<std::array<uint32_t, 256>, 4>;

constexpr RoundTable MakeRoundTable(bool inverse) {
    RoundTable t{};
    for (int i = 0; i < 256; ++i) {
        uint32_t w;
        if (!inverse) {
            uint8_t v = kSbox[i];
            w = Column(Multiply(v, 2), v, v, Multiply(v, 3));
        } else {
            uint8_t v = kInverseSbox[static_cast<size_t>(i)];
            w = Column(Multiply(v, 14), Multiply(v, 9), Multiply(v, 13), Multiply(v, 11));
        }
        for (int k = 0; k < 4; ++k) t[static_cast<size_t>(k)][static_cast<size_t>(i)] = k ? RotateRight(w, 8 * k) : w;
    }
    return t;
}
constexpr RoundTable kEncryptTable = MakeRoundTable(false);
constexpr RoundTable kDecryptTable = MakeRoundTable(true);

uint32_t LoadColumn(const uint8_t* p) { return Column(p[0], p[1], p[2], p[3]); }
void StoreColumn(uint8_t* p, uint32_t w) {
    p[0] = static_cast<uint8_t>(w >> 24);
    p[1] = static_cast<uint8_t>(w >> 16);
    p[2] = static_cast<uint8_t>(w >> 8);
    p[3] = static_cast<uint8_t>(w);
}
uint8_t Byte(uint32_t w, int row) { return static_cast<uint8_t>(w >> (24 - 8 * row)); }

// One full round on column words; shift is +1 for encryption (row r comes
// from column c + r) and 3 (that is, -1) for decryption.
void Round(uint32_t w[4], const RoundTable& t, int shift, const uint32_t* key) {
    uint32_t out[4];
    for (int c = 0; c < 4; ++c)
        out[c] = t[0][Byte(w[c], 0)] ^ t[1][Byte(w[(c + shift) & 3], 1)] ^ t[2][Byte(w[(c + 2 * shift) & 3], 2)] ^
                 t[3][Byte(w[(c + 3 * shift) & 3], 3)] ^ key[c];
    std::memcpy(w, out, sizeof out);
}

// The last round: substitution and shift only.
void LastRound(uint32_t w[4], const uint8_t* box, int shift, const uint32_t* key) {
    uint32_t out[4];
    for (int c = 0; c < 4; ++c)
        out[c] = Column(box[Byte(w[c], 0)], box[Byte(w[(c + shift) & 3], 1)], box[Byte(w[(c + 2 * shift) & 3], 2)],
                        box[Byte(w[(c + 3 * shift) & 3], 3)]) ^
                 key[c];
    std::memcpy(w, out, sizeof out);
}

}  // namespace

void AesExpandKey(AesRoundKeys& keys, const uint8_t key[16]) { AesExpandKey(keys, key, 16); }

void AesExpandKey(AesRoundKeys& keys, const uint8_t* key, size_t keyLength) {
    const int nk = keyLength == 32 ? 8 : 4;  // key words
    keys.rounds = nk + 6;
    const int words = 4 * (keys.rounds + 1);
    std::memcpy(keys.bytes, key, 4 * static_cast<size_t>(nk));
    uint8_t rcon = 1;
    for (int i = nk; i < words; ++i) {
        uint8_t t[4];
        std::memcpy(t, keys.bytes + 4 * (i - 1), 4);
        if (i % nk == 0) {
            uint8_t first = t[0];
            t[0] = static_cast<uint8_t>(kSbox[t[1]] ^ rcon);
            t[1] = kSbox[t[2]];
            t[2] = kSbox[t[3]];
            t[3] = kSbox[first];
            rcon = Times2(rcon);
        } else if (nk == 8 && i % nk == 4) {
            for (uint8_t& b : t) b = kSbox[b];
        }
        for (int j = 0; j < 4; ++j) keys.bytes[4 * i + j] = keys.bytes[4 * (i - nk) + j] ^ t[j];
    }
    for (int i = 0; i < words; ++i) {
        uint32_t w = LoadColumn(keys.bytes + 4 * i);
        keys.encrypt[i] = w;
        // InvMixColumns of a round key word: the inverse table undoes the
        // S-box it is built on.
        keys.decrypt[i] = (i < 4 || i >= words - 4)
                              ? w
                              : kDecryptTable[0][kSbox[Byte(w, 0)]] ^ kDecryptTable[1][kSbox[Byte(w, 1)]] ^
                                    kDecryptTable[2][kSbox[Byte(w, 2)]] ^ kDecryptTable[3][kSbox[Byte(w, 3)]];
    }
}

void AesEncryptBlock(uint8_t block[16], const AesRoundKeys& keys) {
    uint32_t w[4];
    for (int c = 0; c < 4; ++c) w[c] = LoadColumn(block + 4 * c) ^ keys.encrypt[c];
    for (int round = 1; round < keys.rounds; ++round) Round(w, kEncryptTable, 1, keys.encrypt + 4 * round);
    LastRound(w, kSbox, 1, keys.encrypt + 4 * keys.rounds);
    for (int c = 0; c < 4; ++c) StoreColumn(block + 4 * c, w[c]);
}

void AesDecryptBlock(uint8_t block[16], const AesRoundKeys& keys) {
    uint32_t w[4];
    for (int c = 0; c < 4; ++c) w[c] = LoadColumn(block + 4 * c) ^ keys.decrypt[4 * keys.rounds + c];
    for (int round = keys.rounds - 1; round > 0; --round) Round(w, kDecryptTable, 3, keys.decrypt + 4 * round);
    LastRound(w, kInverseSbox.data(), 3, keys.decrypt);
    for (int c = 0; c < 4; ++c) StoreColumn(block + 4 * c, w[c]);
}

}  // namespace brisel
