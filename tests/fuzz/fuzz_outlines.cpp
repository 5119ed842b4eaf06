// Fuzz target: the outline analysis and the viewer-setting reads, with every
// "keep" choice on, then the first page files built in memory with their
// bookmark trees.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/block.h"
#include "base/job.h"
#include "docstruct/page_tree.h"
#include "pagewriter/page_document.h"
#include "security/encrypted_output.h"
#include "split/split_stages.h"
#include "base/job_host.h"

using namespace brisel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 20) return 0;
    AppState app;
    SilentHost host;
    Job job(app, host);
    ResetJob(job);
    job.Viewer.OpenActionMode = "O";
    job.Viewer.Direction = kDirectionKeep;
    job.Viewer.PageLayout = kLayoutKeep;
    job.Viewer.PageMode = kModeKeep;
    job.Viewer.KeepOutlines = 1;
    job.Viewer.FlatOutlines = size & 1;
    Document doc;
    if (!doc.image.Assign(data, size)) return 0;
    // The driver's own way in: object streams, damaged and encrypted files
    // reach the outline code as the split job gives them to it.
    if (ReadUntilClassic(job, doc) != 0) return 0;
    job.PageCount = AnalyzeDocument(job, doc);
    std::string out;
    InputKeyEncryption encryption(doc.reader);
    for (int32_t page = 0; page < 3 && static_cast<size_t>(page) < doc.pages.size(); ++page)
        BuildPageDocument(job, page, doc, out, &encryption);
    return 0;
}
