#include "security/password_check.h"

#include <cstring>
#include <string>

#include "base/job_host.h"
#include "base/texts.h"
#include "security/keys.h"
#include "security/password_hash.h"

namespace brisel {

namespace {

void Tell(Job& job, MessageIcon icon, Text text) { job.host.ShowMessage(job, icon, Tr(job.app.language, text)); }

const uint8_t* BytesOf(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

Verdict Judge(uint8_t* key, const KeyInputs& in, bool permitted, const std::string& password) {
    if (permitted) {
        return CheckUserPassword(in, BytesOf(password), password.size(), key) ||
                       CheckOwnerPassword(in, BytesOf(password), password.size(), key)
                   ? Verdict::Right
                   : Verdict::Wrong;
    }
    // Only the owner's rights allow splitting: a password that is the owner
    // password opens with them, also where it is the user password too.
    if (CheckOwnerPassword(in, BytesOf(password), password.size(), key)) return Verdict::Right;
    return CheckUserPassword(in, BytesOf(password), password.size(), key) ? Verdict::UserPasswordOnly
                                                                           : Verdict::Wrong;
}

// AES-256 data is AESV3, or left plain by the /Identity filter. An unknown
// /CFM reads like /None and is refused: its data would be copied encrypted.
bool IsAes256Method(int32_t method) { return method == 3 || method == -1; }

}  // namespace

int32_t KeyBytesFor(uint32_t keyLengthBits) {
    uint32_t n = keyLengthBits / 8;
    return n == 0 ? 5 : static_cast<int32_t>(n > 256 ? 256 : n);
}

bool IsSupportedEncryption(const SecurityState& s) {
    if (std::strcmp(s.FilterName, "Standard") != 0) return false;
    if (s.V == 5) {
        return (s.R == 5 || s.R == 6) && s.OwnerLength >= 48 && s.UserLength >= 48 && s.OwnerKeyLength == 32 &&
               s.UserKeyLength == 32 && (s.PermsLength == 16 || (s.R == 5 && s.PermsLength == 0)) &&
               IsAes256Method(s.StreamMethod) && IsAes256Method(s.StringMethod) && s.KeyBytes == 32;
    }
    if (s.V != 1 && s.V != 2 && s.V != 4) return false;
    if (s.R != 2 && s.R != 3 && !(s.R == 4 && s.V == 4)) return false;
    if (s.OwnerLength != 32 || s.UserLength != 32) return false;
    // The key algorithms work on one MD5 digest: at most 16 key bytes.
    return s.KeyBytes >= 1 && s.KeyBytes <= 16;
}

bool SettlePermissions(SecurityState& s) {
    if (s.R < 5 || s.PermsLength == 0) return true;
    if (PermsMatch(s.Perms, s.FileKey, s.Permissions, s.EncryptMetadata != 0)) return true;
    if (PermsSealOthers(s.Perms, s.FileKey, s.Permissions)) return false;
    // No seal at all, or only the metadata flag amiss: a writer's slip that
    // readers pass over. /P holds, sealed anew for the page files.
    SealPermissions(s.FileKey, s.Permissions, s.EncryptMetadata != 0, s.Perms);
    return true;
}

bool SplitPermitted(const SecurityState& s) {
    const uint32_t p = static_cast<uint32_t>(s.Permissions);
    if (s.R == 2) return (p & 8) != 0;
    return (p & (8 | 1024)) != 0;
}

OpenCheck CheckWithoutPassword(Job& job, ReaderRecord& reader) {
    SecurityState& s = reader.security;
    // AES-256 keys are 32 bytes whatever /Length says.
    s.KeyBytes = s.V == 5 ? 32 : KeyBytesFor(s.KeyLength);
    if (!IsSupportedEncryption(s)) {
        Tell(job, MessageIcon::Error, Text::FailInDecrypting);
        return OpenCheck::Told;
    }
    const KeyInputs in = MakeKeyInputs(reader);
    auto opened = [&] {
        if (SettlePermissions(s)) return OpenCheck::Opened;
        Tell(job, MessageIcon::Error, Text::FailInDecrypting);
        return OpenCheck::Told;
    };
    const bool user = CheckUserPassword(in, nullptr, 0, s.FileKey);
    if (user && SplitPermitted(s)) return opened();
    // Readers try the empty password as owner password too: a file whose
    // owner password is empty opens without a prompt, with the owner's
    // rights, whatever its permissions say and whether or not it has a user
    // password.
    if (CheckOwnerPassword(in, nullptr, 0, s.FileKey)) return opened();
    // It opens for reading, but its permissions forbid splitting: only the
    // owner password lifts that.
    if (user) return OpenCheck::NeedsOwnerPassword;
    return OpenCheck::NeedsPassword;
}

// A right password whose file key shows /P altered is not one to split with.
Verdict JudgePassword(ReaderRecord& reader, const std::string& password) {
    SecurityState& s = reader.security;
    const Verdict verdict = Judge(s.FileKey, MakeKeyInputs(reader), SplitPermitted(s), password);
    return verdict == Verdict::Right && !SettlePermissions(s) ? Verdict::Unsupported : verdict;
}

}  // namespace brisel
