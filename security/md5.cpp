#include "security/md5.h"

#include <cstring>

namespace brisel {

namespace {

constexpr uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

constexpr int kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                            5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                            4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                            6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

uint32_t RotateLeft(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

// The message word each step reads.
constexpr int kWord[64] = {0, 1, 2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15,
                           1, 6, 11, 0,  5,  10, 15, 4,  9,  14, 3,  8,  13, 2,  7,  12,
                           5, 8, 11, 14, 1,  4,  7,  10, 13, 0,  3,  6,  9,  12, 15, 2,
                           0, 7, 14, 5,  12, 3,  10, 1,  8,  15, 6,  13, 4,  11, 2,  9};

// Sixteen steps of one round, with its own mixing function.
template <typename Mix>
inline void Steps(int first, uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d, const uint32_t x[16], Mix mix) {
    for (int i = first; i < first + 16; ++i) {
        uint32_t next = b + RotateLeft(a + mix(b, c, d) + kSine[i] + x[kWord[i]], kShift[i]);
        a = d;
        d = c;
        c = b;
        b = next;
    }
}

void Transform(uint32_t state[4], const uint8_t block[64]) {
    uint32_t x[16];
    for (int i = 0; i < 16; ++i)
        x[i] = uint32_t(block[4 * i]) | uint32_t(block[4 * i + 1]) << 8 | uint32_t(block[4 * i + 2]) << 16 |
               uint32_t(block[4 * i + 3]) << 24;
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    Steps(0, a, b, c, d, x, [](uint32_t x1, uint32_t x2, uint32_t x3) { return (x1 & x2) | (~x1 & x3); });
    Steps(16, a, b, c, d, x, [](uint32_t x1, uint32_t x2, uint32_t x3) { return (x3 & x1) | (~x3 & x2); });
    Steps(32, a, b, c, d, x, [](uint32_t x1, uint32_t x2, uint32_t x3) { return x1 ^ x2 ^ x3; });
    Steps(48, a, b, c, d, x, [](uint32_t x1, uint32_t x2, uint32_t x3) { return x2 ^ (x1 | ~x3); });
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

}  // namespace

void Md5Init(Md5Context& context) {
    context.state[0] = 0x67452301;
    context.state[1] = 0xefcdab89;
    context.state[2] = 0x98badcfe;
    context.state[3] = 0x10325476;
    context.bits[0] = context.bits[1] = 0;
}

void Md5Update(Md5Context& context, const uint8_t* bytes, size_t length) {
    size_t used = (context.bits[0] >> 3) & 63;
    uint64_t bits = (uint64_t(context.bits[1]) << 32 | context.bits[0]) + (uint64_t(length) << 3);
    context.bits[0] = static_cast<uint32_t>(bits);
    context.bits[1] = static_cast<uint32_t>(bits >> 32);
    while (length > 0) {
        size_t take = 64 - used < length ? 64 - used : length;
        std::memcpy(context.buffer + used, bytes, take);
        used += take;
        bytes += take;
        length -= take;
        if (used == 64) {
            Transform(context.state, context.buffer);
            used = 0;
        }
    }
}

void Md5Final(uint8_t digest[16], Md5Context& context) {
    uint8_t length[8];
    for (int i = 0; i < 4; ++i) {
        length[i] = static_cast<uint8_t>(context.bits[0] >> (8 * i));
        length[4 + i] = static_cast<uint8_t>(context.bits[1] >> (8 * i));
    }
    size_t used = (context.bits[0] >> 3) & 63;
    static const uint8_t kPadding[64] = {0x80};
    Md5Update(context, kPadding, used < 56 ? 56 - used : 120 - used);
    Md5Update(context, length, 8);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) digest[4 * i + j] = static_cast<uint8_t>(context.state[i] >> (8 * j));
    std::memset(&context, 0, sizeof context);
}

void Md5(const uint8_t* bytes, size_t length, uint8_t digest[16]) {
    Md5Context context;
    Md5Init(context);
    Md5Update(context, bytes, length);
    Md5Final(digest, context);
}

}  // namespace brisel
