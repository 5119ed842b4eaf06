// What reading one input finds: the catalog reference, whether the file uses
// cross-reference streams or is encrypted, the information dictionary, the
// document identifier and, once the file is opened, its keys. One record per
// document, beside its image; positions are offsets into the image, so that
// a rewrite that replaces the image leaves nothing pointing into the old one.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace brisel {

// The parsed encryption dictionary, the document identifier and the file key.
struct SecurityState {
    char FilterName[22] = {};
    uint8_t V = 0;
    uint8_t R = 0;
    // /O and /U: 32 bytes up to revision 4; 48 (hash, validation salt, key
    // salt) from revision 5 on, where writers may pad them up to 127.
    uint8_t Owner[128] = {};
    int32_t OwnerLength = 0;
    uint8_t User[128] = {};
    int32_t UserLength = 0;
    // Revisions 5 and 6: the file key wrapped by the owner and the user
    // password (/OE, /UE), and the permissions sealed with it (/Perms).
    uint8_t OwnerKey[32] = {};
    int32_t OwnerKeyLength = 0;
    uint8_t UserKey[32] = {};
    int32_t UserKeyLength = 0;
    uint8_t Perms[16] = {};
    int32_t PermsLength = 0;
    int32_t Permissions = 0;
    uint32_t KeyLength = 0;  // bits as read; the password check turns it into bytes
    int32_t EncryptMetadata = 1;
    int32_t StreamMethod = -1, StringMethod = -1, EmbeddedMethod = -1;
    int32_t StreamAuthEvent = 0, StringAuthEvent = 0, EmbeddedAuthEvent = 0;
    int32_t StreamKeyLength = 0, StringKeyLength = 0, EmbeddedKeyLength = 0;
    int32_t EncryptNumber = 0, EncryptGeneration = 0;
    uint8_t FileKey[256] = {};
    int32_t KeyBytes = 0;  // n: file key length in bytes (32 from revision 5 on)
};

// An update that was cut short after its first objects were written.
enum class CutUpdate : uint8_t {
    None,
    ObjectsWhole,  // cut in its table or trailer: every object it wrote stands
    ObjectsLost,   // cut among its objects: some of the newest objects are lost
};

struct ReaderRecord {
    int32_t rootNumber = -1, rootGeneration = 0;
    // The file uses cross-reference streams (or a hybrid file's /XRefStm).
    bool xrefStreams = false;
    // Offset of the first /Encrypt key of a classic trailer, or kNone.
    static constexpr int64_t kNone = -1;
    int64_t encryptKey = kNone;
    int32_t infoNumber = 0, infoGeneration = 0;
    uint8_t fileId[100] = {};
    int32_t fileIdLength = 0;
    // The input is encrypted and opened: security holds its keys.
    bool encrypted = false;
    // The security step refused the file (the user was told or cancelled).
    bool refused = false;
    // Objects whose entries say "in use" but point at no header of them:
    // the table lists them free.
    // In ascending order.
    std::vector<int32_t> missingObjects;
    // Set by the read that found an update cut short, and kept through the
    // repair that reads the file past it.
    CutUpdate cutUpdate = CutUpdate::None;
    SecurityState security;

    bool IsMissing(int32_t number) const {
        return std::binary_search(missingObjects.begin(), missingObjects.end(), number);
    }
};

}  // namespace brisel
