#include "security/password_flow.h"

#include <cstring>
#include <string>

#include "base/texts.h"
#include "security/keys.h"
#include "split/job_host.h"

namespace brisel {

namespace {

constexpr int kTold = 10;
constexpr size_t kMaxPasswordLength = 254;
constexpr int kWrongTriesAllowed = 3;

void Tell(Job& job, MessageIcon icon, Text text) { job.host.ShowMessage(job, icon, Tr(job.app.language, text)); }

const uint8_t* BytesOf(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

enum class Verdict { Right, Wrong, NotAdmitted };

// A password opens the file for splitting as the user password (when the
// permissions allow splitting) or as an owner password that is not also the
// user password.
Verdict Judge(Job& job, const KeyInputs& in, bool permitted, const std::string& password) {
    uint8_t* key = job.Security.FileKey;
    if (permitted) {
        return CheckUserPassword(in, BytesOf(password), password.size(), key) ||
                       CheckOwnerPassword(in, BytesOf(password), password.size(), key)
                   ? Verdict::Right
                   : Verdict::Wrong;
    }
    if (CheckUserPassword(in, BytesOf(password), password.size(), key))
        return CheckOwnerPassword(in, BytesOf(password), password.size(), key) ? Verdict::NotAdmitted
                                                                               : Verdict::Wrong;
    return CheckOwnerPassword(in, BytesOf(password), password.size(), key) ? Verdict::Right : Verdict::Wrong;
}

// The remembered password is tried first without asking; then the user is
// asked up to three times.
int PasswordLoop(Job& job, const KeyInputs& in, bool permitted) {
    AppState& app = job.app;
    bool remembered = !app.PasswordText.empty();
    if (remembered) app.RememberedPassword = true;
    int wrong = 0;
    for (;;) {
        std::string password;
        if (remembered) {
            password = app.PasswordText;
        } else {
            if (!job.host.AskPassword(job, password)) return kTold;
            if (password.size() > kMaxPasswordLength) password.resize(kMaxPasswordLength);
            app.PasswordText = password;
        }
        switch (Judge(job, in, permitted, password)) {
            case Verdict::Right:
                return 0;
            case Verdict::NotAdmitted:
                Tell(job, MessageIcon::Error, Text::SplitNotAdmitted);
                return kTold;
            case Verdict::Wrong:
                break;
        }
        if (remembered) {
            // The password of an earlier file does not fit: ask, without a
            // message and without counting.
            app.RememberedPassword = false;
            remembered = false;
            continue;
        }
        if (++wrong >= kWrongTriesAllowed) return kTold;
        Tell(job, MessageIcon::Information, Text::InputRightPassword);
    }
}

}  // namespace

int32_t KeyBytesFor(uint32_t keyLengthBits) {
    uint32_t n = keyLengthBits / 8;
    return n == 0 ? 5 : static_cast<int32_t>(n > 256 ? 256 : n);
}

bool IsSupportedEncryption(const SecurityState& s) {
    if (std::strcmp(s.FilterName, "Standard") != 0) return false;
    if (s.V != 1 && s.V != 2 && s.V != 4) return false;
    if (s.R != 2 && s.R != 3 && !(s.R == 4 && s.V == 4)) return false;
    if (s.OwnerLength != 32 || s.UserLength != 32) return false;
    // The key algorithms work on one MD5 digest: at most 16 key bytes.
    return s.KeyBytes >= 1 && s.KeyBytes <= 16;
}

bool SplitPermitted(const SecurityState& s) {
    const uint32_t p = static_cast<uint32_t>(s.Permissions);
    if (s.R == 2) return (p & 8) != 0;
    return (p & (8 | 1024)) != 0;
}

int AuthenticateDocument(Job& job) {
    SecurityState& s = job.Security;
    s.KeyBytes = KeyBytesFor(s.KeyLength);
    if (!IsSupportedEncryption(s)) {
        Tell(job, MessageIcon::Error, Text::FailInDecrypting);
        return kTold;
    }
    const KeyInputs in = MakeKeyInputs(job);
    const bool permitted = SplitPermitted(s);
    if (permitted) {
        if (CheckUserPassword(in, nullptr, 0, s.FileKey)) return 0;
    } else if (CheckOwnerPassword(in, nullptr, 0, s.FileKey)) {
        Tell(job, MessageIcon::Error, Text::SplitNotAdmitted);
        return kTold;
    }
    return PasswordLoop(job, in, permitted);
}

}  // namespace brisel
