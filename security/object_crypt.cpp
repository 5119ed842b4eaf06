#include "security/object_crypt.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "security/crypt_buffer.h"
#include "security/md5.h"

namespace brisel {

namespace {

size_t FileKeyBytes(const SecurityState& s) {
    if (s.R >= 5) return kMaxObjectKey;
    return static_cast<size_t>(std::clamp<int32_t>(s.KeyBytes, 1, 16));
}

DataCrypt FilterCrypt(const SecurityState& s, int32_t method, int32_t filterKeyLength) {
    DataCrypt crypt;
    if (s.R >= 5) {
        if (method == 3) {
            crypt.codec = kCryptAes256;
            crypt.k = kMaxObjectKey;
        }
        return crypt;
    }
    if (s.R != 4) {
        crypt.codec = kCryptRc4;
        crypt.k = FileKeyBytes(s);
        return crypt;
    }
    if (method == 1) crypt.codec = kCryptRc4;
    else if (method == 2) crypt.codec = kCryptAes;
    else return crypt;
    crypt.salt = crypt.codec == kCryptAes;
    crypt.k = filterKeyLength >= 5 && filterKeyLength <= 16 ? static_cast<size_t>(filterKeyLength) : FileKeyBytes(s);
    return crypt;
}

}  // namespace

DataCrypt StringCrypt(const SecurityState& s) { return FilterCrypt(s, s.StringMethod, s.StringKeyLength); }

DataCrypt StreamCrypt(const SecurityState& s) { return FilterCrypt(s, s.StreamMethod, s.StreamKeyLength); }

size_t ObjectKey(int32_t number, int32_t generation, const uint8_t* fileKey, const DataCrypt& crypt,
                 uint8_t out[kMaxObjectKey]) {
    if (crypt.codec == kCryptAes256) {
        std::memcpy(out, fileKey, kMaxObjectKey);
        return kMaxObjectKey;
    }
    const size_t k = std::min<size_t>(crypt.k, 16);
    uint8_t tail[9] = {static_cast<uint8_t>(number),     static_cast<uint8_t>(number >> 8),
                       static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(generation),
                       static_cast<uint8_t>(generation >> 8), 's', 'A', 'l', 'T'};
    Md5Context context;
    Md5Init(context);
    Md5Update(context, fileKey, k);
    Md5Update(context, tail, crypt.salt ? 9 : 5);
    Md5Final(out, context);
    return std::min<size_t>(k + 5, 16);
}

int DecryptObjectData(const SecurityState& security, int32_t number, int32_t generation, const uint8_t* data,
                      size_t length, std::vector<uint8_t>& out) {
    // Object streams derive their keys from the whole file key.
    DataCrypt crypt = StreamCrypt(security);
    crypt.k = FileKeyBytes(security);
    try {
        out.resize(length);
    } catch (const std::bad_alloc&) {
        return kObjectDataNotDecrypted;
    }
    if (crypt.codec < 0) {
        std::copy(data, data + length, out.begin());
        return 0;
    }
    uint8_t key[kMaxObjectKey];
    size_t keyLength = ObjectKey(number, generation, security.FileKey, crypt, key);
    const uint8_t* source = data;
    const Result<int64_t> written = CryptBuffer(source, length, out.data(), key, keyLength, crypt.codec, false);
    if (!written) {
        out.clear();
        return kObjectDataNotDecrypted;
    }
    out.resize(static_cast<size_t>(*written));
    return 0;
}

}  // namespace brisel
