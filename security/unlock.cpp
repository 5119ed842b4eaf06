#include "security/unlock.h"

#include "base/texts.h"
#include "security/encrypt_dict.h"
#include "security/password_flow.h"
#include "security/recode_image.h"
#include "split/job_host.h"

namespace brisel {

int UnlockDocument(Job& job, const std::string&, Block& image, XrefTable& table) {
    const int read = ReadEncryptReference(job, image.data(), image.data() + image.size(), table);
    if (read == 1) {
        job.host.ShowMessage(job, MessageIcon::Error, Tr(job.app.language, Text::FailInDecrypting));
        return 10;
    }
    if (read != 0) return -1;
    if (int r = AuthenticateDocument(job)) return r;
    // The input is decrypted from the image already in memory; the plain
    // image never leaves it.
    const int r = RecodeDocument(job, image, kDecrypt);
    if (r == 0) table.Clear();
    return r;
}

}  // namespace brisel
