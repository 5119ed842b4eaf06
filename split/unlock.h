// Opening an encrypted input: the support checks, the password loop, the
// permission to split and the decryption of the whole image. Reading only
// says that a file is encrypted; the job asks the person here.
#pragma once

#include <string>

#include "base/block.h"
#include "base/job.h"
#include "pdfread/stream_decryption.h"
#include "pdfread/xref_table.h"

namespace brisel {

// Runs the checks and finds a password: the remembered one first, then up to
// three asked for. 0 with the file key in job.Security.FileKey;
// kResultAlreadyTold when the user was told why (or cancelled, or gave three
// wrong passwords).
int AuthenticateDocument(Job& job);

// 0 with the image replaced by its decrypted form; kResultAlreadyTold when
// the user was told or cancelled; any other value is a failure.
int UnlockDocument(Job& job, const std::string& inputPath, Block& image, XrefTable& table);

// Opens and decrypts a file with cross-reference streams for the rewrite.
class JobStreamDecryption : public StreamDecryption {
public:
    int Open(Job& job, Cursor start, Cursor end, int32_t number, int32_t generation, int64_t offset) override;
    int CopyObject(Job& job, Cursor start, Cursor end, const LengthResolver& resolveLength, int32_t number,
                   int32_t generation, int64_t offset, std::string& out, bool& written) override;
    int DecryptObjectStream(Job& job, int32_t number, const uint8_t* data, size_t length,
                            std::vector<uint8_t>& out) override;
};

}  // namespace brisel
