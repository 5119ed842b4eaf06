#include "security/crypt_buffer.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <new>

#include "base/platform.h"
#include "security/aes.h"
#include "security/md5.h"
#include "security/rc4.h"

namespace brisel {

namespace {

// Tells apart the digests made within one millisecond; shared by all jobs.
std::atomic<int> gSequence{-1};

int NextSequence(int millisecond) {
    int current = gSequence.load(std::memory_order_relaxed);
    for (;;) {
        int next = (current < 0 ? millisecond : current) + 1;
        if (next > 999) next = 0;
        if (gSequence.compare_exchange_weak(current, next, std::memory_order_relaxed)) return next;
    }
}

Result<int64_t> AesEncrypt(const uint8_t* source, size_t length, uint8_t* destination, const uint8_t* key,
                   size_t keyLength) {
    uint8_t vector[16];
    if (UniqueDigest("", 0, {}, vector) != 0) {
        return Failure(kCryptNoMemory);
    }
    AesRoundKeys keys;
    AesExpandKey(keys, key, keyLength);
    const size_t pad = 16 - length % 16;
    const size_t blocks = (length + pad) / 16;
    std::memcpy(destination, vector, 16);
    const uint8_t* previous = destination;
    uint8_t* out = destination + 16;
    for (size_t i = 0; i < blocks; ++i, out += 16) {
        for (size_t j = 0; j < 16; ++j) {
            size_t at = 16 * i + j;
            uint8_t plain = at < length ? source[at] : static_cast<uint8_t>(pad);
            out[j] = plain ^ previous[j];
        }
        AesEncryptBlock(out, keys);
        previous = out;
    }
    return static_cast<int64_t>(16 + 16 * blocks);
}

// Decrypts into a scratch buffer first, so that a bad padding leaves the
// destination untouched.
Result<int64_t> AesDecrypt(const uint8_t* source, size_t length, uint8_t* destination, const uint8_t* key,
                   size_t keyLength) {
    if (length < 32 || length % 16 != 0) {
        return Failure(kCryptBadData);
    }
    std::vector<uint8_t> plain;
    try {
        plain.resize(length - 16);
    } catch (const std::bad_alloc&) {
        return Failure(kCryptNoMemory);
    }
    AesRoundKeys keys;
    AesExpandKey(keys, key, keyLength);
    for (size_t i = 0; i < plain.size(); i += 16) {
        uint8_t* block = plain.data() + i;
        std::memcpy(block, source + 16 + i, 16);
        AesDecryptBlock(block, keys);
        for (size_t j = 0; j < 16; ++j) block[j] ^= source[i + j];
    }
    // PKCS #5 padding; a final byte of 0 stands for a whole block of 16.
    const uint8_t last = plain.back();
    const size_t count = last == 0 ? 16 : last;
    if (count > 16) {
        return Failure(kCryptBadData);
    }
    for (size_t k = 2; k <= count; ++k)
        if (plain[plain.size() - k] != last) {
            return Failure(kCryptBadData);
        }
    const size_t result = plain.size() - count;
    if (result) std::memcpy(destination, plain.data(), result);
    return static_cast<int64_t>(result);
}

}  // namespace

namespace {

// 16 bytes from the operating system's random source, taken once per run,
// and a count of the digests made: together they make every digest
// unpredictable and distinct without a system call per digest.
struct RandomSeed {
    uint8_t bytes[16];
    bool ok;
    RandomSeed() : ok(RandomBytes(bytes, sizeof bytes)) {}
};
std::atomic<uint64_t> gDigestCount{0};

void AppendDigits(char*& out, int value, int width) {
    for (int i = width - 1; i >= 0; --i, value /= 10) out[i] = static_cast<char>('0' + value % 10);
    out += width;
}

}  // namespace

int UniqueDigest(const std::string& text, int number, const std::vector<std::string>& strings, uint8_t out[16]) {
    // The time of day alone is predictable; the random seed makes the digest
    // fit for initialisation vectors.
    static const RandomSeed seed;
    if (!seed.ok) return -1;
    const uint64_t count = gDigestCount.fetch_add(1, std::memory_order_relaxed);
    CalendarTime now = LocalNow();
    char stamp[17];
    char* p = stamp;
    AppendDigits(p, now.year, 4);
    AppendDigits(p, now.month, 2);
    AppendDigits(p, now.day, 2);
    AppendDigits(p, now.hour, 2);
    AppendDigits(p, now.minute, 2);
    AppendDigits(p, now.second, 2);
    AppendDigits(p, NextSequence(now.millisecond), 3);
    Md5Context context;
    Md5Init(context);
    Md5Update(context, reinterpret_cast<const uint8_t*>(stamp), 17);
    Md5Update(context, seed.bytes, sizeof seed.bytes);
    Md5Update(context, reinterpret_cast<const uint8_t*>(&count), sizeof count);
    Md5Update(context, reinterpret_cast<const uint8_t*>(text.data()), text.size());
    std::string decimal = std::to_string(number);
    Md5Update(context, reinterpret_cast<const uint8_t*>(decimal.data()), decimal.size());
    for (const std::string& s : strings) Md5Update(context, reinterpret_cast<const uint8_t*>(s.data()), s.size());
    Md5Final(out, context);
    return 0;
}

Result<int64_t> CryptBuffer(const uint8_t*& source, size_t length, uint8_t* destination, const uint8_t* key,
                            size_t keyLength, int method, bool encrypt) {
    int64_t written;
    if (method == kCryptRc4) {
        if (keyLength == 0) {
            return Failure(kCryptUnknownMethod);
        }
        Rc4(key, keyLength, destination, source, length);
        written = static_cast<int64_t>(length);
    } else if (method == kCryptAes || method == kCryptAes256) {
        if (keyLength != (method == kCryptAes ? 16u : 32u)) {
            return Failure(kCryptBadData);
        }
        const Result<int64_t> coded = encrypt ? AesEncrypt(source, length, destination, key, keyLength)
                                              : AesDecrypt(source, length, destination, key, keyLength);
        if (!coded) return coded;
        written = *coded;
    } else {
        return Failure(kCryptUnknownMethod);
    }
    source += length;
    return written;
}

}  // namespace brisel
