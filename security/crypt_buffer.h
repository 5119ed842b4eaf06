// The codec through which every string and stream is encrypted or decrypted,
// and the digest that makes AES initialisation vectors.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/failure.h"

namespace brisel {

// AES-CBC with a 16-byte key ("AESV2") or a 32-byte key ("AESV3").
enum CryptMethod : int { kCryptRc4 = 0, kCryptAes = 1, kCryptAes256 = 2 };

// CryptBuffer's codes.
enum CryptCode : int32_t {
    kCryptNoMemory = -8021,  // or no random bytes
    kCryptUnknownMethod = -321,
    // AES: bad padding, a key that is not 16 or 32 bytes as the method says,
    // or ciphertext that is not an initialisation vector plus whole blocks.
    kCryptBadData = -322,
};

// Encrypts (encrypt true) or decrypts length bytes at source into
// destination. The bytes written, and source advanced by length; or the
// failure (a CryptCode), with neither source nor destination touched.
// The destination needs length + 32 bytes for AES encryption, length
// otherwise.
Result<int64_t> CryptBuffer(const uint8_t*& source, size_t length, uint8_t* destination, const uint8_t* key,
                            size_t keyLength, int method, bool encrypt);

// Room CryptBuffer needs at the destination.
inline size_t CryptRoom(size_t length, int method, bool encrypt) {
    return (method == kCryptAes || method == kCryptAes256) && encrypt ? length + 32 : length;
}

// 16 bytes that differ from call to call: the MD5 digest of the local time,
// a sequence number, 16 bytes of the operating system's random source (taken
// once per run), a count of the digests made, the text, the number and the
// strings. 0, or -1 when no random bytes are had.
int UniqueDigest(const std::string& text, int number, const std::vector<std::string>& strings, uint8_t out[16]);

}  // namespace brisel
