#include "security/object_copier.h"

#include "docstruct/job_reads.h"
#include "pdfread/xref_table.h"

namespace brisel {

int CopyDecryptedObject(RecodeContext& context, int32_t number, int32_t generation, int64_t offset,
                        std::string& out, bool& written) {
    Job& job = context.job;
    written = false;
    if (number == context.reader.security.EncryptNumber) return 0;
    Cursor body = LocateObject(job, context.start, context.end, offset, number, generation);
    if (!body) {
        job.LastError = kRecodeObjectMissing;
        return kRecodeObjectMissing;
    }
    const size_t mark = out.size();
    out += std::to_string(number) + " " + std::to_string(generation) + " obj\n";
    int kind = 0;
    if (int r = RecodeObject(context, number, generation, body, out, kind)) {
        out.resize(mark);
        return r;
    }
    if (kind == kXrefStreamObject) out.resize(mark);
    else written = true;
    return 0;
}

}  // namespace brisel
