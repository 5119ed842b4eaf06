#include "split/page_range.h"

#include "docstruct/document.h"
#include "pdfread/read_xref.h"
#include "pdfread/repair.h"
#include "pdfread/xref_stream.h"
#include "split/split_stages.h"
#include "split/unlock.h"

namespace brisel {

bool ReadPageField(const std::string& text, int32_t& value) {
    size_t from = text.find_first_not_of(' ');
    if (from == std::string::npos) {
        value = 0;
        return true;
    }
    size_t to = text.find_last_not_of(' ') + 1;
    int64_t v = 0;
    for (size_t i = from; i < to; ++i) {
        char c = text[i];
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
        if (v > INT32_MAX) return false;
    }
    if (v == 0) return false;
    value = static_cast<int32_t>(v);
    return true;
}

namespace {

// Rewrites the image and releases the table; false when a security check
// refused or the user cancelled.
bool RewriteForQuery(Job& job, Document& doc, bool rebuild) {
    job.LastError = 0;
    JobStreamDecryption decryption;
    if (job.XrefStreamFlag) NormaliseXrefStreams(job, doc.image, doc.table, &decryption);
    else if (rebuild) RebuildClassic(job, doc.image);
    doc.table.Clear();
    return !job.ReadAborted;
}

}  // namespace

int32_t QueryPageCount(Job& job, const std::string& inputPath) {
    job.LastError = 0;
    job.FileIdLength = 0;
    job.ReadAborted = 0;
    job.StopCode = 0;
    Document doc;
    doc.image = LoadFile(job, inputPath);
    if (doc.image.empty()) return -1;

    if (!ReadDocumentXref(job, doc) || job.XrefStreamFlag) {
        const bool encrypted = job.EncryptKeyPos != nullptr;
        if (encrypted && UnlockDocument(job, inputPath, doc.image, doc.table) != 0) return -1;
        if (!RewriteForQuery(job, doc, !encrypted)) return -1;
        if (!ReadDocumentXref(job, doc) || job.XrefStreamFlag) {
            if (!RewriteForQuery(job, doc, true)) return -1;
            if (!ReadDocumentXref(job, doc)) return -1;
        }
    }
    // The count comes from the page tree root alone; bookmarks play no part.
    return CountPages(job, doc.start(), doc.end(), doc.rootNumber, doc.rootGeneration, doc.table);
}

}  // namespace brisel
