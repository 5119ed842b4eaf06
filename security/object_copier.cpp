#include "security/object_copier.h"

#include "pdfread/xref_table.h"

namespace brisel {

int CopyDecryptedObject(RecodeContext& context, int32_t number, int32_t generation, int64_t offset,
                        std::string& out, bool& written) {
    written = false;
    if (number == context.reader.security.EncryptNumber) return 0;
    const Result<Cursor> body = LocateObject(context.start, context.end, offset, number, generation);
    if (!body) return kRecodeObjectMissing;
    const size_t mark = out.size();
    out += std::to_string(number) + " " + std::to_string(generation) + " obj\n";
    int kind = 0;
    if (int r = RecodeObject(context, number, generation, *body, out, kind)) {
        out.resize(mark);
        return r;
    }
    if (kind == kXrefStreamObject) out.resize(mark);
    else written = true;
    return 0;
}

}  // namespace brisel
