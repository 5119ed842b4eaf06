#include "split/unlock.h"

#include "base/job_host.h"
#include "base/texts.h"
#include "security/encrypt_dict.h"
#include "security/object_copier.h"
#include "security/object_crypt.h"
#include "security/password_check.h"
#include "security/recode_image.h"
#include "split/split_job.h"

namespace brisel {

namespace {

constexpr size_t kMaxPasswordLength = 254;
constexpr int kWrongTriesAllowed = 3;

void Tell(Job& job, MessageIcon icon, Text text) { job.host.ShowMessage(job, icon, Tr(job.app.language, text)); }

// The remembered password is tried first without asking; then the user is
// asked up to three times.
int PasswordLoop(Job& job) {
    AppState& app = job.app;
    bool remembered = !app.PasswordText.empty();
    if (remembered) app.RememberedPassword = true;
    int wrong = 0;
    for (;;) {
        std::string password;
        if (remembered) {
            password = app.PasswordText;
        } else {
            if (!job.host.AskPassword(job, password)) return kResultAlreadyTold;
            if (password.size() > kMaxPasswordLength) password.resize(kMaxPasswordLength);
            app.PasswordText = password;
        }
        switch (JudgePassword(job, password)) {
            case Verdict::Right:
                return 0;
            case Verdict::NotAdmitted:
                Tell(job, MessageIcon::Error, Text::SplitNotAdmitted);
                return kResultAlreadyTold;
            case Verdict::Unsupported:
                Tell(job, MessageIcon::Error, Text::FailInDecrypting);
                return kResultAlreadyTold;
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
        if (++wrong >= kWrongTriesAllowed) return kResultAlreadyTold;
        Tell(job, MessageIcon::Information, Text::InputRightPassword);
    }
}


}  // namespace

int AuthenticateDocument(Job& job) {
    switch (CheckWithoutPassword(job)) {
        case OpenCheck::Opened:
            return 0;
        case OpenCheck::Told:
            return kResultAlreadyTold;
        case OpenCheck::NeedsPassword:
            break;
    }
    return PasswordLoop(job);
}

int UnlockDocument(Job& job, const std::string&, Block& image, XrefTable& table) {
    const int read = ReadEncryptReference(job, image.data(), image.data() + image.size(), table);
    if (read == 1) {
        Tell(job, MessageIcon::Error, Text::FailInDecrypting);
        return kResultAlreadyTold;
    }
    if (read != 0) return -1;
    if (int r = AuthenticateDocument(job)) return r;
    // The input is decrypted from the image already in memory; the plain
    // image never leaves it.
    const int r = RecodeDocument(job, image, kDecrypt);
    if (r == 0) table.Clear();
    return r;
}

int JobStreamDecryption::Open(Job& job, Cursor start, Cursor end, int32_t number, int32_t generation,
                              int64_t offset) {
    job.Security.EncryptNumber = number;
    job.Security.EncryptGeneration = generation;
    if (int r = ReadEncryptObject(job, start, end, offset)) return r;
    if (int r = AuthenticateDocument(job)) {
        job.ReadAborted = 1;
        return r;
    }
    return 0;
}

int JobStreamDecryption::CopyObject(Job& job, Cursor start, Cursor end, const LengthResolver& resolveLength,
                                    int32_t number, int32_t generation, int64_t offset, std::string& out,
                                    bool& written) {
    RecodeContext context(job, start, end, false);
    context.resolveLength = resolveLength;
    return CopyDecryptedObject(context, number, generation, offset, out, written);
}

int JobStreamDecryption::DecryptObjectStream(Job& job, int32_t number, const uint8_t* data, size_t length,
                                             std::vector<uint8_t>& out) {
    return DecryptObjectData(job, number, 0, data, length, out);
}

}  // namespace brisel
