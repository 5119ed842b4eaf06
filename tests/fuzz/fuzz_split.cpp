// Fuzz target: the whole split of an image held in memory, in the order the
// job runs it but writing no files: reading, rewrite and repair, analysis,
// annotation blanking and every page file built in memory.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/job.h"
#include "docstruct/page_tree.h"
#include "docstruct/struct_tree.h"
#include "pagewriter/page_document.h"
#include "security/encrypted_output.h"
#include "docstruct/annots.h"
#include "base/job_host.h"
#include "split/split_stages.h"

using namespace brisel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 20) return 0;
    AppState app;
    SilentHost host;
    Job job(app, host);
    ResetJob(job);
    Document doc;
    if (!doc.image.Assign(data, size)) return 0;
    // The silent host declines the password prompt: only files that open
    // with the empty password are decrypted.
    if (ReadUntilClassic(job, doc) != 0) return 0;
    const int32_t count = AnalyzeDocument(job, doc);
    job.PageCount = count;
    if (count < 1) return 0;
    // Annotations filtered for inputs of even size, dropped for odd ones.
    BlankPageAnnots(job, doc, size % 2 == 0);
    AnalyzeStructure(job, doc);
    // Every page listed, and one index beyond when the tree claims more.
    const int64_t pages = std::min<int64_t>(count, static_cast<int64_t>(doc.pages.size()) + 1);
    std::string out;
    InputKeyEncryption encryption(doc.reader);
    for (int32_t index = 0; index < pages; ++index) {
        job.LastError = 0;
        BuildPageDocument(job, index, doc, out, &encryption);
    }
    return 0;
}
