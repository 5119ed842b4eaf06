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
int PasswordLoop(Job& job, ReaderRecord& reader) {
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
        switch (JudgePassword(reader, password)) {
            case Verdict::Right:
                return 0;
            case Verdict::Unsupported:
                Tell(job, MessageIcon::Error, Text::FailInDecrypting);
                return kResultAlreadyTold;
            case Verdict::UserPasswordOnly:
                // It opens the file, but only the owner may split it.
                job.OwnerPasswordNeeded = true;
                break;
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

int AuthenticateDocument(Job& job, ReaderRecord& reader) {
    switch (CheckWithoutPassword(job, reader)) {
        case OpenCheck::Opened:
            return 0;
        case OpenCheck::Told:
            return kResultAlreadyTold;
        case OpenCheck::NeedsOwnerPassword:
            job.OwnerPasswordNeeded = true;
            break;
        case OpenCheck::NeedsPassword:
            break;
    }
    return PasswordLoop(job, reader);
}

int UnlockDocument(Job& job, Block& image, XrefTable& table, ReaderRecord& reader) {
    const Result<int> found = ReadEncryptReference(image.data(), image.data() + image.size(), table, reader);
    if (!found || *found != -1) job.LastError = found.code();
    if (*found == 1) {
        Tell(job, MessageIcon::Error, Text::FailInDecrypting);
        return kResultAlreadyTold;
    }
    if (!found || *found != 0) return kResultFailed;
    if (int r = AuthenticateDocument(job, reader)) return r;
    // The input is decrypted from the image already in memory; the plain
    // image never leaves it.
    ReaderRecord read;
    if (Failure f = RecodeDocument(job, reader, image, kDecrypt, read)) {
        job.LastError = f.code;
        return kRecodeFailed;
    }
    job.LastError = 0;
    table.Clear();
    // The decrypted image replaces the input: what reading it found is the
    // document's now, but for the identifier the keys came from.
    reader.xrefStreams = read.xrefStreams;
    reader.infoNumber = read.infoNumber;
    reader.infoGeneration = read.infoGeneration;
    reader.encryptKey = ReaderRecord::kNone;
    return 0;
}

int JobStreamDecryption::Open(Job& job, Cursor start, Cursor end, int32_t number, int32_t generation,
                              int64_t offset) {
    reader_.security.EncryptNumber = number;
    reader_.security.EncryptGeneration = generation;
    if (Failure f = ReadEncryptObject(start, end, offset, reader_.security)) {
        job.LastError = f.code;
        return f.code;
    }
    if (int r = AuthenticateDocument(job, reader_)) {
        reader_.refused = true;
        return r;
    }
    return 0;
}

int JobStreamDecryption::CopyObject(Job& job, Cursor start, Cursor end, const LengthResolver& resolveLength,
                                    int32_t number, int32_t generation, int64_t offset, std::string& out,
                                    bool& written) {
    RecodeContext context(job, reader_, start, end, false);
    context.resolveLength = resolveLength;
    return CopyDecryptedObject(context, number, generation, offset, out, written);
}

int JobStreamDecryption::DecryptObjectStream(int32_t number, const uint8_t* data, size_t length,
                                             std::vector<uint8_t>& out) {
    return DecryptObjectData(reader_.security, number, 0, data, length, out);
}

int OpenInput(Job& job, Block& image, XrefTable& table, ReaderRecord& reader, bool showProgress,
              bool unlockReadable) {
    JobUnlock unlock;
    JobStreamDecryption streams(reader);
    OpenOptions options;
    options.unlock = &unlock;
    options.streamDecryption = &streams;
    options.showProgress = showProgress;
    options.unlockReadable = unlockReadable;
    // The unlock tells its own failures; reading's go to the job.
    const OpenOutcome opened = OpenDocument(job, image, table, reader, options);
    if (opened.result == 0 || opened.failure) job.LastError = opened.failure.code;
    return opened.result;
}

}  // namespace brisel
