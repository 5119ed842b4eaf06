// Rewriting one object with its strings and stream data encrypted or
// decrypted: the step shared by the whole-file rewrite, the encryption of
// page files and the decrypting copy of cross-reference-stream files.
#pragma once

#include <cstdint>
#include <string>

#include "base/job.h"
#include "pdfread/reader_record.h"
#include "security/object_crypt.h"
#include "security/scan_object.h"

namespace brisel {

// Codes of the rewrite of objects with their strings and streams recoded.
enum RecodeCode : int32_t {
    kRecodeNoDetail = -8011,  // a failure that left no more precise code
    kRecodeHeaderEnd = -302,
    kRecodeObjectMissing = -310,  // or no memory for the new image
    kRecodeScanFailed = -311,
    kRecodeStringsFailed = -315,
    kRecodeStreamDictFailed = -316,
    kRecodeLengthTextFailed = -317,  // the dictionary up to /Length
    kRecodeAfterLengthFailed = -319,
    kRecodeStreamFailed = -8012,
};

struct RecodeContext {
    RecodeContext(Job& j, const ReaderRecord& record, Cursor imageStart, Cursor imageEnd, bool encrypting);

    Job& job;
    const ReaderRecord& reader;  // the input's keys
    Cursor start, end;  // the image the objects come from
    bool encrypt;
    DataCrypt strings, streams;
    // Revision 4 and later with /EncryptMetadata false: metadata streams stay
    // plain.
    bool plainMetadata;
    LengthResolver resolveLength;
};

// Appends the body of object number/generation (first token at body), recoded,
// and "endobj\n". A stream's data is written with its new /Length (an
// indirect /Length whose value changes becomes direct), followed by
// "endstream". A cross-reference stream is copied unchanged. kind receives
// the ObjectKind. 0, or a negative code.
int RecodeObject(RecodeContext& context, int32_t number, int32_t generation, Cursor body, std::string& out,
                 int& kind);

}  // namespace brisel
