#include "security/sha2.h"

#include <cstring>

namespace brisel {

namespace {

constexpr uint32_t kRound256[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr uint64_t kRound512[80] = {
    0x428a2f98d728ae22, 0x7137449123ef65cd, 0xb5c0fbcfec4d3b2f, 0xe9b5dba58189dbbc, 0x3956c25bf348b538,
    0x59f111f1b605d019, 0x923f82a4af194f9b, 0xab1c5ed5da6d8118, 0xd807aa98a3030242, 0x12835b0145706fbe,
    0x243185be4ee4b28c, 0x550c7dc3d5ffb4e2, 0x72be5d74f27b896f, 0x80deb1fe3b1696b1, 0x9bdc06a725c71235,
    0xc19bf174cf692694, 0xe49b69c19ef14ad2, 0xefbe4786384f25e3, 0x0fc19dc68b8cd5b5, 0x240ca1cc77ac9c65,
    0x2de92c6f592b0275, 0x4a7484aa6ea6e483, 0x5cb0a9dcbd41fbd4, 0x76f988da831153b5, 0x983e5152ee66dfab,
    0xa831c66d2db43210, 0xb00327c898fb213f, 0xbf597fc7beef0ee4, 0xc6e00bf33da88fc2, 0xd5a79147930aa725,
    0x06ca6351e003826f, 0x142929670a0e6e70, 0x27b70a8546d22ffc, 0x2e1b21385c26c926, 0x4d2c6dfc5ac42aed,
    0x53380d139d95b3df, 0x650a73548baf63de, 0x766a0abb3c77b2a8, 0x81c2c92e47edaee6, 0x92722c851482353b,
    0xa2bfe8a14cf10364, 0xa81a664bbc423001, 0xc24b8b70d0f89791, 0xc76c51a30654be30, 0xd192e819d6ef5218,
    0xd69906245565a910, 0xf40e35855771202a, 0x106aa07032bbd1b8, 0x19a4c116b8d2d0c8, 0x1e376c085141ab53,
    0x2748774cdf8eeb99, 0x34b0bcb5e19b48a8, 0x391c0cb3c5c95a63, 0x4ed8aa4ae3418acb, 0x5b9cca4f7763e373,
    0x682e6ff3d6b2b8a3, 0x748f82ee5defb2fc, 0x78a5636f43172f60, 0x84c87814a1f0ab72, 0x8cc702081a6439ec,
    0x90befffa23631e28, 0xa4506cebde82bde9, 0xbef9a3f7b2c67915, 0xc67178f2e372532b, 0xca273eceea26619c,
    0xd186b8c721c0c207, 0xeada7dd6cde0eb1e, 0xf57d4f7fee6ed178, 0x06f067aa72176fba, 0x0a637dc5a2c898a6,
    0x113f9804bef90dae, 0x1b710b35131c471b, 0x28db77f523047d84, 0x32caab7b40c72493, 0x3c9ebe0a15c9bebc,
    0x431d67c49c100d4c, 0x4cc5d4becb3e42b6, 0x597f299cfc657e2a, 0x5fcb6fab3ad6faec, 0x6c44198c4a475817};

template <typename Word>
constexpr Word RotateRight(Word x, int n) {
    return static_cast<Word>((x >> n) | (x << (8 * sizeof(Word) - n)));
}

// Big-endian words, as FIPS 180-4 reads and writes them.
template <typename Word>
Word LoadBig(const uint8_t* p) {
    Word w = 0;
    for (size_t i = 0; i < sizeof(Word); ++i) w = static_cast<Word>(w << 8 | p[i]);
    return w;
}
template <typename Word>
void StoreBig(uint8_t* p, Word w) {
    for (size_t i = sizeof(Word); i-- > 0; w >>= 8) p[i] = static_cast<uint8_t>(w);
}

void Transform256(uint32_t state[8], const uint8_t block[64]) {
    uint32_t w[64];
    for (int t = 0; t < 16; ++t) w[t] = LoadBig<uint32_t>(block + 4 * t);
    for (int t = 16; t < 64; ++t) {
        uint32_t s0 = RotateRight(w[t - 15], 7) ^ RotateRight(w[t - 15], 18) ^ (w[t - 15] >> 3);
        uint32_t s1 = RotateRight(w[t - 2], 17) ^ RotateRight(w[t - 2], 19) ^ (w[t - 2] >> 10);
        w[t] = w[t - 16] + s0 + w[t - 7] + s1;
    }
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
    for (int t = 0; t < 64; ++t) {
        uint32_t t1 = h + (RotateRight(e, 6) ^ RotateRight(e, 11) ^ RotateRight(e, 25)) + ((e & f) ^ (~e & g)) +
                      kRound256[t] + w[t];
        uint32_t t2 = (RotateRight(a, 2) ^ RotateRight(a, 13) ^ RotateRight(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
}

void Transform512(uint64_t state[8], const uint8_t block[128]) {
    uint64_t w[80];
    for (int t = 0; t < 16; ++t) w[t] = LoadBig<uint64_t>(block + 8 * t);
    for (int t = 16; t < 80; ++t) {
        uint64_t s0 = RotateRight(w[t - 15], 1) ^ RotateRight(w[t - 15], 8) ^ (w[t - 15] >> 7);
        uint64_t s1 = RotateRight(w[t - 2], 19) ^ RotateRight(w[t - 2], 61) ^ (w[t - 2] >> 6);
        w[t] = w[t - 16] + s0 + w[t - 7] + s1;
    }
    uint64_t a = state[0], b = state[1], c = state[2], d = state[3];
    uint64_t e = state[4], f = state[5], g = state[6], h = state[7];
    for (int t = 0; t < 80; ++t) {
        uint64_t t1 = h + (RotateRight(e, 14) ^ RotateRight(e, 18) ^ RotateRight(e, 41)) + ((e & f) ^ (~e & g)) +
                      kRound512[t] + w[t];
        uint64_t t2 = (RotateRight(a, 28) ^ RotateRight(a, 34) ^ RotateRight(a, 39)) + ((a & b) ^ (a & c) ^ (b & c));
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
}

// Fills the block buffer and runs the transform on each full block.
template <typename Context, typename Transform>
void Feed(Context& context, const uint8_t* bytes, size_t length, Transform transform) {
    constexpr size_t kBlock = sizeof context.buffer;
    size_t used = static_cast<size_t>(context.length % kBlock);
    context.length += length;
    while (length > 0) {
        size_t take = kBlock - used < length ? kBlock - used : length;
        std::memcpy(context.buffer + used, bytes, take);
        used += take;
        bytes += take;
        length -= take;
        if (used == kBlock) {
            transform(context.state, context.buffer);
            used = 0;
        }
    }
}

// One 0x80 byte, zeros, and the message length in bits, big-endian, in the
// last 8 (SHA-256) or 16 (SHA-512) bytes of a block.
template <typename Context, typename Transform>
void Pad(Context& context, Transform transform) {
    constexpr size_t kBlock = sizeof context.buffer;
    constexpr size_t kLengthField = kBlock / 8;
    uint8_t tail[2 * kBlock] = {0x80};
    const uint64_t bits = context.length << 3;
    const size_t used = static_cast<size_t>(context.length % kBlock);
    const size_t padding = used < kBlock - kLengthField ? kBlock - used : 2 * kBlock - used;
    StoreBig<uint64_t>(tail + padding - 8, bits);
    if (kLengthField == 16) StoreBig<uint64_t>(tail + padding - 16, context.length >> 61);
    Feed(context, tail, padding, transform);
}

}  // namespace

void Sha256Init(Sha256Context& context) {
    static const uint32_t kInitial[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                         0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::memcpy(context.state, kInitial, sizeof kInitial);
    context.length = 0;
}

void Sha256Update(Sha256Context& context, const uint8_t* bytes, size_t length) {
    Feed(context, bytes, length, Transform256);
}

void Sha256Final(uint8_t digest[32], Sha256Context& context) {
    Pad(context, Transform256);
    for (int i = 0; i < 8; ++i) StoreBig<uint32_t>(digest + 4 * i, context.state[i]);
    std::memset(&context, 0, sizeof context);
}

void Sha384Init(Sha512Context& context) {
    static const uint64_t kInitial[8] = {0xcbbb9d5dc1059ed8, 0x629a292a367cd507, 0x9159015a3070dd17,
                                         0x152fecd8f70e5939, 0x67332667ffc00b31, 0x8eb44a8768581511,
                                         0xdb0c2e0d64f98fa7, 0x47b5481dbefa4fa4};
    std::memcpy(context.state, kInitial, sizeof kInitial);
    context.length = 0;
    context.digestLength = 48;
}

void Sha512Init(Sha512Context& context) {
    static const uint64_t kInitial[8] = {0x6a09e667f3bcc908, 0xbb67ae8584caa73b, 0x3c6ef372fe94f82b,
                                         0xa54ff53a5f1d36f1, 0x510e527fade682d1, 0x9b05688c2b3e6c1f,
                                         0x1f83d9abfb41bd6b, 0x5be0cd19137e2179};
    std::memcpy(context.state, kInitial, sizeof kInitial);
    context.length = 0;
    context.digestLength = 64;
}

void Sha512Update(Sha512Context& context, const uint8_t* bytes, size_t length) {
    Feed(context, bytes, length, Transform512);
}

void Sha512Final(uint8_t* digest, Sha512Context& context) {
    Pad(context, Transform512);
    uint8_t full[64];
    for (int i = 0; i < 8; ++i) StoreBig<uint64_t>(full + 8 * i, context.state[i]);
    std::memcpy(digest, full, context.digestLength);
    std::memset(&context, 0, sizeof context);
}

void Sha256(const uint8_t* bytes, size_t length, uint8_t digest[32]) {
    Sha256Context context;
    Sha256Init(context);
    Sha256Update(context, bytes, length);
    Sha256Final(digest, context);
}

void Sha384(const uint8_t* bytes, size_t length, uint8_t digest[48]) {
    Sha512Context context;
    Sha384Init(context);
    Sha512Update(context, bytes, length);
    Sha512Final(digest, context);
}

void Sha512(const uint8_t* bytes, size_t length, uint8_t digest[64]) {
    Sha512Context context;
    Sha512Init(context);
    Sha512Update(context, bytes, length);
    Sha512Final(digest, context);
}

}  // namespace brisel
