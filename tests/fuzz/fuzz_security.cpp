// Fuzz target: the encryption dictionary and the password checks. The input
// is a password, a line feed, and the text of an encryption dictionary; the
// password is judged as typed after the empty one, as the job does.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "base/block.h"
#include "base/job.h"
#include "base/job_host.h"
#include "pdfread/reader_record.h"
#include "security/encrypt_dict.h"
#include "security/password_check.h"

using namespace brisel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto* newline = static_cast<const uint8_t*>(std::memchr(data, '\n', size));
    // Longer passwords only make the revision 6 hash slower, not different.
    if (!newline || newline - data > 64) return 0;
    const std::string password(reinterpret_cast<const char*>(data), static_cast<size_t>(newline - data));
    AppState app;
    SilentHost host;
    Job job(app, host);
    ReaderRecord reader;
    SecurityState& s = reader.security;
    s.StreamMethod = s.StringMethod = s.EmbeddedMethod = -1;
    static const uint8_t kId[16] = {0x31, 0x41, 0x59, 0x26, 0x53, 0x58, 0x97, 0x93,
                                    0x23, 0x84, 0x62, 0x64, 0x33, 0x83, 0x27, 0x95};
    std::memcpy(reader.fileId, kId, sizeof kId);
    reader.fileIdLength = sizeof kId;
    // The dictionary in a block of its own size, so that any read beyond it
    // is caught.
    Block dictionary;
    if (!dictionary.Assign(newline + 1, size - static_cast<size_t>(newline + 1 - data))) return 0;
    if (ReadEncryptDictionary(dictionary.data(), dictionary.end(), s)) return 0;
    if (const OpenCheck check = CheckWithoutPassword(job, reader);
        check == OpenCheck::NeedsPassword || check == OpenCheck::NeedsOwnerPassword)
        JudgePassword(reader, password);
    return 0;
}
