#include "security/keys.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "base/pdf_text.h"

#include "security/md5.h"
#include "security/password_hash.h"
#include "security/rc4.h"

namespace brisel {

namespace {

constexpr uint8_t kPadding[32] = {0x28, 0xBF, 0x4E, 0x5E, 0x4E, 0x75, 0x8A, 0x41, 0x64, 0x00, 0x4E,
                                  0x56, 0xFF, 0xFA, 0x01, 0x08, 0x2E, 0x2E, 0x00, 0xB6, 0xD0, 0x68,
                                  0x3E, 0x80, 0x2F, 0x0C, 0xA9, 0xFE, 0x64, 0x53, 0x69, 0x7A};

// The first 32 bytes of the password, filled up from the padding string.
void PadPassword(const uint8_t* password, size_t length, uint8_t out[32]) {
    length = std::min<size_t>(length, 32);
    if (length) std::memcpy(out, password, length);
    std::memcpy(out + length, kPadding, 32 - length);
}

// Revision 3 and above: fifty more rounds of MD5 over the first n bytes.
void Strengthen(const KeyInputs& in, uint8_t digest[16]) {
    if (in.R < 3) return;
    for (int i = 0; i < 50; ++i) Md5(digest, in.n, digest);
}

// Revisions 5 and 6: each byte string the typed text may stand for.
bool CheckAes256(const KeyInputs& in, const uint8_t* password, size_t length, uint8_t key[32], bool owner) {
    Aes256KeyInputs aes;
    aes.R = in.R;
    aes.owner = in.owner;
    aes.user = in.user;
    aes.ownerKey = in.ownerKey;
    aes.userKey = in.userKey;
    const std::string typed(reinterpret_cast<const char*>(password), password ? length : 0);
    for (const std::string& candidate : PasswordCandidates256(typed)) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(candidate.data());
        if (owner ? CheckOwnerPassword256(aes, bytes, candidate.size(), key)
                  : CheckUserPassword256(aes, bytes, candidate.size(), key))
            return true;
    }
    return false;
}

// RC4 with each key byte XOR round, for rounds first, first + step, ... last.
void Rc4Rounds(const uint8_t* key, size_t n, uint8_t* data, size_t length, int first, int last, int step) {
    for (int round = first;; round += step) {
        uint8_t roundKey[16];
        for (size_t i = 0; i < n; ++i) roundKey[i] = key[i] ^ static_cast<uint8_t>(round);
        Rc4(roundKey, n, data, data, length);
        if (round == last) break;
    }
}

}  // namespace

KeyInputs MakeKeyInputs(const ReaderRecord& reader) {
    const SecurityState& s = reader.security;
    KeyInputs in;
    in.R = s.R;
    in.owner = s.Owner;
    in.user = s.User;
    in.ownerKey = s.OwnerKey;
    in.userKey = s.UserKey;
    in.permissions = s.Permissions;
    in.id = reader.fileId;
    in.idLength = reader.fileIdLength > 0 ? static_cast<size_t>(reader.fileIdLength) : 0;
    in.n = std::clamp<size_t>(s.KeyBytes > 0 ? static_cast<size_t>(s.KeyBytes) : 5, 1, 16);
    in.encryptMetadata = s.EncryptMetadata != 0;
    return in;
}

void ComputeFileKey(const KeyInputs& in, const uint8_t* password, size_t length, uint8_t key[16]) {
    uint8_t padded[32];
    PadPassword(password, length, padded);
    const uint8_t permissions[4] = {static_cast<uint8_t>(in.permissions), static_cast<uint8_t>(in.permissions >> 8),
                                    static_cast<uint8_t>(in.permissions >> 16),
                                    static_cast<uint8_t>(in.permissions >> 24)};
    Md5Context context;
    Md5Init(context);
    Md5Update(context, padded, 32);
    Md5Update(context, in.owner, 32);
    Md5Update(context, permissions, 4);
    Md5Update(context, in.id, in.idLength);
    if (in.R >= 4 && !in.encryptMetadata) {
        static const uint8_t kNoMetadata[4] = {0xFF, 0xFF, 0xFF, 0xFF};
        Md5Update(context, kNoMetadata, 4);
    }
    Md5Final(key, context);
    Strengthen(in, key);
}

namespace {

// Algorithms 4 and 5 on the bytes as given.
bool CheckUserBytes(const KeyInputs& in, const uint8_t* password, size_t length, uint8_t key[32]) {
    ComputeFileKey(in, password, length, key);
    if (in.R == 2) {
        uint8_t check[32];
        Rc4(key, in.n, check, kPadding, 32);
        return std::memcmp(check, in.user, 32) == 0;
    }
    uint8_t check[16];
    Md5Context context;
    Md5Init(context);
    Md5Update(context, kPadding, 32);
    Md5Update(context, in.id, in.idLength);
    Md5Final(check, context);
    Rc4Rounds(key, in.n, check, 16, 0, 19, 1);
    return std::memcmp(check, in.user, 16) == 0;
}

// Algorithm 7 on the bytes as given.
bool CheckOwnerBytes(const KeyInputs& in, const uint8_t* password, size_t length, uint8_t key[32]) {
    uint8_t padded[32];
    PadPassword(password, length, padded);
    uint8_t digest[16];
    Md5(padded, 32, digest);
    Strengthen(in, digest);
    uint8_t user[32];
    std::memcpy(user, in.owner, 32);
    if (in.R == 2) Rc4(digest, in.n, user, user, 32);
    else Rc4Rounds(digest, in.n, user, 32, 19, 0, -1);
    return CheckUserBytes(in, user, 32, key);
}

// Revisions 2 to 4: the typed text in PDFDocEncoding, as other writers
// store a non-ASCII password, then its bytes as typed.
bool CheckRc4Era(const KeyInputs& in, const uint8_t* password, size_t length, uint8_t key[32], bool owner) {
    auto check = owner ? CheckOwnerBytes : CheckUserBytes;
    const std::string typed(reinterpret_cast<const char*>(password), password ? length : 0);
    std::string encoded;
    if (Utf8ToPdfDoc(typed, encoded) && encoded != typed &&
        check(in, reinterpret_cast<const uint8_t*>(encoded.data()), encoded.size(), key))
        return true;
    return check(in, password, length, key);
}

}  // namespace

bool CheckUserPassword(const KeyInputs& in, const uint8_t* password, size_t length, uint8_t key[32]) {
    return in.R >= 5 ? CheckAes256(in, password, length, key, false) : CheckRc4Era(in, password, length, key, false);
}

bool CheckOwnerPassword(const KeyInputs& in, const uint8_t* password, size_t length, uint8_t key[32]) {
    return in.R >= 5 ? CheckAes256(in, password, length, key, true) : CheckRc4Era(in, password, length, key, true);
}

}  // namespace brisel
