#include "security/password_hash.h"

#include <cstring>

#include "security/aes.h"
#include "security/saslprep.h"
#include "security/sha2.h"

namespace brisel {

namespace {

constexpr size_t kMaxPassword = 127;

// One round's input, the password, the hash and the user data, repeated 64
// times, at its largest.
constexpr size_t kMaxRoundInput = 64 * (kMaxPassword + 64 + 48);

// AES-128 in CBC mode without padding over whole blocks, in place.
void Aes128CbcEncrypt(const uint8_t key[16], const uint8_t vector[16], uint8_t* data, size_t length) {
    AesRoundKeys keys;
    AesExpandKey(keys, key, 16);
    const uint8_t* previous = vector;
    for (size_t at = 0; at + 16 <= length; at += 16) {
        for (size_t j = 0; j < 16; ++j) data[at + j] ^= previous[j];
        AesEncryptBlock(data + at, keys);
        previous = data + at;
    }
}

// AES-256 in CBC mode with a zero vector and no padding: how /UE and /OE
// wrap the 32-byte file key.
void UnwrapFileKey(const uint8_t intermediate[32], const uint8_t wrapped[32], uint8_t key[32]) {
    AesRoundKeys keys;
    AesExpandKey(keys, intermediate, 32);
    uint8_t previous[16] = {};
    for (size_t at = 0; at < 32; at += 16) {
        uint8_t block[16];
        std::memcpy(block, wrapped + at, 16);
        AesDecryptBlock(block, keys);
        for (size_t j = 0; j < 16; ++j) key[at + j] = block[j] ^ previous[j];
        std::memcpy(previous, wrapped + at, 16);
    }
}

// The iterated hash of revision 6, started from the SHA-256 digest in k.
void Iterate(const uint8_t* password, size_t length, const uint8_t* userData, uint8_t k[64]) {
    static thread_local uint8_t round[kMaxRoundInput];
    const size_t userLength = userData ? 48 : 0;
    size_t kLength = 32;
    for (int i = 0;; ++i) {
        const size_t piece = length + kLength + userLength;
        for (size_t r = 0; r < 64; ++r) {
            uint8_t* p = round + r * piece;
            if (length) std::memcpy(p, password, length);
            std::memcpy(p + length, k, kLength);
            if (userLength) std::memcpy(p + length + kLength, userData, userLength);
        }
        const size_t total = 64 * piece;  // a whole number of blocks
        Aes128CbcEncrypt(k, k + 16, round, total);
        // The first 16 bytes as a number modulo 3: 256 leaves 1 modulo 3, so
        // the sum of the bytes gives the same remainder.
        unsigned sum = 0;
        for (size_t j = 0; j < 16; ++j) sum += round[j];
        switch (sum % 3) {
            case 0:
                Sha256(round, total, k);
                kLength = 32;
                break;
            case 1:
                Sha384(round, total, k);
                kLength = 48;
                break;
            default:
                Sha512(round, total, k);
                kLength = 64;
                break;
        }
        // At least 64 rounds; then on until the last byte of the round's
        // output is at most the round number minus 32, which ends by round
        // 288 at the latest.
        const unsigned last = round[total - 1];
        if (i >= 63 && last + 32 <= static_cast<unsigned>(i + 1)) break;
    }
}

}  // namespace

std::vector<std::string> PasswordCandidates256(const std::string& typed) {
    std::vector<std::string> out;
    std::string prepared;
    if (SaslPrep(typed, prepared)) out.push_back(prepared.substr(0, kMaxPassword));
    std::string raw = typed.substr(0, kMaxPassword);
    if (out.empty() || out.front() != raw) out.push_back(std::move(raw));
    return out;
}

void PasswordHash(int R, const uint8_t* password, size_t length, const uint8_t salt[8], const uint8_t* userData,
                  uint8_t out[32]) {
    if (length > kMaxPassword) length = kMaxPassword;
    uint8_t k[64];
    Sha256Context context;
    Sha256Init(context);
    Sha256Update(context, password, length);
    Sha256Update(context, salt, 8);
    if (userData) Sha256Update(context, userData, 48);
    Sha256Final(k, context);
    if (R >= 6) Iterate(password, length, userData, k);
    std::memcpy(out, k, 32);
}

bool CheckUserPassword256(const Aes256KeyInputs& in, const uint8_t* password, size_t length, uint8_t key[32]) {
    uint8_t hash[32];
    PasswordHash(in.R, password, length, in.user + 32, nullptr, hash);
    if (std::memcmp(hash, in.user, 32) != 0) return false;
    PasswordHash(in.R, password, length, in.user + 40, nullptr, hash);
    UnwrapFileKey(hash, in.userKey, key);
    return true;
}

bool CheckOwnerPassword256(const Aes256KeyInputs& in, const uint8_t* password, size_t length, uint8_t key[32]) {
    uint8_t hash[32];
    PasswordHash(in.R, password, length, in.owner + 32, in.user, hash);
    if (std::memcmp(hash, in.owner, 32) != 0) return false;
    PasswordHash(in.R, password, length, in.owner + 40, in.user, hash);
    UnwrapFileKey(hash, in.ownerKey, key);
    return true;
}

namespace {

// /Perms decrypted with the file key.
void OpenPerms(const uint8_t perms[16], const uint8_t key[32], uint8_t block[16]) {
    AesRoundKeys keys;
    AesExpandKey(keys, key, 32);
    std::memcpy(block, perms, 16);
    AesDecryptBlock(block, keys);
}

bool HoldsPermissions(const uint8_t block[16], int32_t permissions) {
    const uint32_t p = static_cast<uint32_t>(permissions);
    for (int i = 0; i < 4; ++i)
        if (block[i] != static_cast<uint8_t>(p >> (8 * i))) return false;
    return true;
}

bool IsSeal(const uint8_t block[16]) { return block[9] == 'a' && block[10] == 'd' && block[11] == 'b'; }

}  // namespace

bool PermsMatch(const uint8_t perms[16], const uint8_t key[32], int32_t permissions, bool encryptMetadata) {
    uint8_t block[16];
    OpenPerms(perms, key, block);
    return IsSeal(block) && HoldsPermissions(block, permissions) && block[8] == (encryptMetadata ? 'T' : 'F');
}

bool PermsSealOthers(const uint8_t perms[16], const uint8_t key[32], int32_t permissions) {
    uint8_t block[16];
    OpenPerms(perms, key, block);
    return IsSeal(block) && !HoldsPermissions(block, permissions);
}

void SealPermissions(const uint8_t key[32], int32_t permissions, bool encryptMetadata, uint8_t perms[16]) {
    // The permissions widened to 64 bits with ones, the flag, the marker and
    // four bytes that only fill the block (fixed, so that a page file's bytes
    // depend on its input alone).
    const uint32_t p = static_cast<uint32_t>(permissions);
    for (int i = 0; i < 4; ++i) perms[i] = static_cast<uint8_t>(p >> (8 * i));
    std::memset(perms + 4, 0xFF, 4);
    perms[8] = encryptMetadata ? 'T' : 'F';
    perms[9] = 'a';
    perms[10] = 'd';
    perms[11] = 'b';
    std::memset(perms + 12, 0, 4);
    AesRoundKeys keys;
    AesExpandKey(keys, key, 32);
    AesEncryptBlock(perms, keys);
}

}  // namespace brisel
