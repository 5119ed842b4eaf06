// Encrypting a page file of an encrypted input with the input's keys,
// passwords and permissions.
#pragma once

#include "base/block.h"
#include "base/job.h"
#include "pagewriter/page_encryption.h"
#include "pdfread/reader_record.h"

namespace brisel {

// Rewrites the plain page image in place: every string and stream encrypted
// with the input's file key, an encryption dictionary appended and the
// trailer naming it and the document identifier. 0 on success; otherwise a
// negative code (also in LastError) and the image is left unusable.
int EncryptPageImage(Job& job, const ReaderRecord& reader, Block& image);

// The page writer's encryption with the keys of the input's record.
class InputKeyEncryption : public PageEncryption {
public:
    explicit InputKeyEncryption(const ReaderRecord& reader) : reader_(reader) {}
    int EncryptPage(Job& job, Block& image) override { return EncryptPageImage(job, reader_, image); }

private:
    const ReaderRecord& reader_;
};

}  // namespace brisel
