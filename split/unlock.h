// Opening an encrypted input: the support checks, the password loop, the
// permission to split and the decryption of the whole image. Reading only
// says that a file is encrypted; the job asks the person here.
#pragma once

#include <string>
#include <vector>

#include "base/block.h"
#include "base/job.h"
#include "pdfread/open_document.h"
#include "pdfread/reader_record.h"
#include "pdfread/stream_decryption.h"
#include "pdfread/xref_table.h"

namespace brisel {

// Runs the checks and finds a password: the remembered one first, then up to
// three asked for. 0 with the file key in reader.security.FileKey;
// kResultAlreadyTold when the user was told why (or cancelled, or gave three
// wrong passwords).
int AuthenticateDocument(Job& job, ReaderRecord& reader);

// 0 with the image replaced by its decrypted form and the record updated
// from reading it; kResultAlreadyTold when the user was told or cancelled;
// any other value is a failure.
int UnlockDocument(Job& job, Block& image, XrefTable& table, ReaderRecord& reader);

// The job's way of opening encrypted classic files.
class JobUnlock : public DocumentUnlock {
public:
    int Unlock(Job& job, Block& image, XrefTable& table, ReaderRecord& reader) override {
        return UnlockDocument(job, image, table, reader);
    }
};

// Opens and decrypts a file with cross-reference streams for the rewrite,
// with the keys going into the reader record.
class JobStreamDecryption : public StreamDecryption {
public:
    explicit JobStreamDecryption(ReaderRecord& reader) : reader_(reader) {}
    int Open(Job& job, Cursor start, Cursor end, int32_t number, int32_t generation, int64_t offset) override;
    int CopyObject(Job& job, Cursor start, Cursor end, const LengthResolver& resolveLength, int32_t number,
                   int32_t generation, int64_t offset, std::string& out, bool& written) override;
    int DecryptObjectStream(int32_t number, const uint8_t* data, size_t length, std::vector<uint8_t>& out) override;

private:
    ReaderRecord& reader_;
};

// OpenDocument with the job's password loop: what the split job and the page
// count query run.
int OpenInput(Job& job, Block& image, XrefTable& table, ReaderRecord& reader, bool showProgress,
              bool unlockReadable);

}  // namespace brisel
