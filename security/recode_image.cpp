#include "security/recode_image.h"

#include <new>
#include <string>
#include <vector>

#include "pdfread/image_buffer.h"
#include "pdfread/open_document.h"
#include "pdfread/read_xref.h"
#include "pdfread/xref_section.h"
#include "security/output_dictionary.h"
#include "security/recode_object.h"

namespace brisel {

namespace {

// The integer of an indirect /Length object found through the table.
int64_t LengthFromTable(const XrefTable& table, Cursor start, Cursor end, int32_t number, int32_t generation) {
    const Result<Cursor> body = FindObject(table, start, end, number, generation);
    if (!body) return -1;
    Cursor p = *body;
    return ReadLong(p, end).value_or(-1);
}

// The new image is assembled in a block of its own, object by object, so
// that no more than the input and the new image are held at once.
int Walk(Job& job, const ReaderRecord& keys, const Block& image, const XrefTable& table, const ReaderRecord& read,
         RecodeMode mode, ImageBuffer& rewritten) {
    const Cursor start = image.data(), end = image.data() + image.size();
    const int32_t rootNumber = read.rootNumber;
    RecodeContext context(job, keys, start, end, mode == kEncrypt);
    context.resolveLength = [&](int32_t number, int32_t generation) {
        return LengthFromTable(table, start, end, number, generation);
    };

    if (!rewritten.Init(image.size() + image.size() / 8 + 32768)) return kRecodeObjectMissing;
    std::string out;  // the text not yet moved into the new image
    auto flush = [&] {
        const bool written = rewritten.Write(out.data(), out.size());
        out.clear();
        return written;
    };
    Cursor first = start;
    if (!SkipWhiteAndComments(first, end)) return kRecodeHeaderEnd;
    out.append(reinterpret_cast<const char*>(start), static_cast<size_t>(first - start));

    const int32_t size = table.HighestNumber() + 1;
    std::vector<int64_t> offsets(static_cast<size_t>(size), 0);
    std::vector<int32_t> generations(static_cast<size_t>(size), 0);
    int32_t rootGeneration = 0;
    int64_t xrefStream = -1;
    for (const XrefEntry& e : table.entries()) {
        if (job.Stopped()) return job.StopCode;
        if (e.number == rootNumber) rootGeneration = e.generation;
        generations[static_cast<size_t>(e.number)] = e.generation;
        if (mode == kDecrypt && e.number == keys.security.EncryptNumber) continue;
        if (e.number == 0 || e.offset == 0 || e.type != 'n') continue;
        const Result<Cursor> body = LocateObject(start, end, e.offset, e.number, e.generation);
        if (!body) return kRecodeObjectMissing;
        if (!flush()) return kRecodeObjectMissing;
        const int64_t offset = static_cast<int64_t>(rewritten.size());
        out += std::to_string(e.number) + " " + std::to_string(e.generation) + " obj\n";
        int kind = 0;
        if (int r = RecodeObject(context, e.number, e.generation, *body, out, kind)) return r;
        offsets[static_cast<size_t>(e.number)] = offset;
        if (kind == kXrefStreamObject) xrefStream = offset;
    }

    // An encrypted page file gets the encryption dictionary as its last object.
    const int32_t objects = mode == kEncrypt ? size + 1 : size;
    int64_t dictionaryOffset = 0;
    if (!flush()) return kRecodeObjectMissing;
    if (mode == kEncrypt) {
        dictionaryOffset = static_cast<int64_t>(rewritten.size());
        AppendEncryptDictionary(keys.security, size, out);
        if (!flush()) return kRecodeObjectMissing;
    }
    const int64_t xref = static_cast<int64_t>(rewritten.size());
    // Objects not written (free, missing, the dropped encryption dictionary)
    // are listed as free: an in-use entry at offset 0 is an error to readers.
    auto append = [&](const char* text, size_t length) { return rewritten.Write(text, length); };
    if (!WriteXrefTable(append, objects, [&](int32_t n, int64_t& offset, int64_t& generation, char& type) {
            const bool dictionary = n == size;
            offset = dictionary ? dictionaryOffset : offsets[static_cast<size_t>(n)];
            generation = dictionary ? 0 : generations[static_cast<size_t>(n)];
            type = offset > 0 ? 'n' : 'f';
        }))
        return kRecodeObjectMissing;
    out += "trailer\n<<\n/Size " + std::to_string(objects) + "\n/Root " + std::to_string(rootNumber) + " " +
           std::to_string(rootGeneration) + " R\n";
    // The decrypted image keeps the document's information dictionary too:
    // reading it again takes /Info from this trailer.
    if (read.infoNumber > 0)
        out += "/Info " + std::to_string(read.infoNumber) + " " + std::to_string(read.infoGeneration) + " R\n";
    if (mode == kEncrypt) {
        out += "/Encrypt " + std::to_string(size) + " 0 R\n";
        AppendFileId(keys, out);
    }
    if (xrefStream >= 0) out += "/XRefStm " + std::to_string(xrefStream) + "\n";
    out += ">>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    if (!flush()) return kRecodeObjectMissing;
    return 0;
}

}  // namespace

int RecodeImage(Job& job, const ReaderRecord& keys, Block& image, const XrefTable& table, const ReaderRecord& read,
                RecodeMode mode) {
    try {
        ImageBuffer out;
        if (int r = Walk(job, keys, image, table, read, mode, out)) return r;
        Block result;
        if (!out.Finish(result)) return kRecodeObjectMissing;
        image = std::move(result);
        return 0;
    } catch (const std::bad_alloc&) {
        return kRecodeObjectMissing;
    }
}

Failure RecodeDocument(Job& job, const ReaderRecord& keys, Block& image, RecodeMode mode, ReaderRecord& read) {
    XrefTable table;
    read = ReaderRecord();
    // Read, or repaired and read: the keys are known, and object streams
    // stay as they are.
    OpenOptions options;
    options.rewriteStreams = false;
    options.showProgress = false;
    const OpenOutcome opened = OpenDocument(job, image, table, read, options);
    if (opened.result != 0) return opened.failure ? opened.failure : Failure(kRecodeNoDetail);
    if (int r = RecodeImage(job, keys, image, table, read, mode)) return Failure(r);
    return Failure();
}

}  // namespace brisel
