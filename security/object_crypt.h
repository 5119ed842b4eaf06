// Per-object keys and the choice of codec for each kind of data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/job.h"
#include "pdfread/reader_record.h"

namespace brisel {

// How one kind of data (strings, streams) is encrypted.
struct DataCrypt {
    int codec = -1;     // kCryptRc4, kCryptAes, kCryptAes256, or -1: no codec, data stays as it is
    size_t k = 0;       // key bytes the object keys derive from
    bool salt = false;  // AES adds "sAlT" to the key digest
};

// The longest key ObjectKey writes: the AES-256 file key.
constexpr size_t kMaxObjectKey = 32;

// Revisions 2 and 3 use RC4 with the file key everywhere; revision 4 names a
// crypt filter for strings and one for streams. A filter without a usable
// /Length (5 to 16 bytes) derives its keys from the whole file key.
// Revisions 5 and 6 name AESV3 filters (or /Identity: data left plain).
DataCrypt StringCrypt(const SecurityState& security);
DataCrypt StreamCrypt(const SecurityState& security);

// The key of one object: the first min(k + 5, 16) bytes of the MD5 digest of
// the file key, the object number and generation (and the salt); for AES-256
// the file key itself, the same for every object. Returns its length.
size_t ObjectKey(int32_t number, int32_t generation, const uint8_t* fileKey, const DataCrypt& crypt,
                 uint8_t out[kMaxObjectKey]);

// DecryptObjectData's code.
enum ObjectDataCode : int32_t { kObjectDataNotDecrypted = -320 };

// Decrypts the data of an object stream (number, generation 0) before it is
// inflated: out receives the plain bytes. 0, or kObjectDataNotDecrypted.
int DecryptObjectData(const SecurityState& security, int32_t number, int32_t generation, const uint8_t* data,
                      size_t length, std::vector<uint8_t>& out);

}  // namespace brisel
