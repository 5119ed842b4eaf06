// Encrypting a page file of an encrypted input with the input's keys,
// passwords and permissions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/block.h"
#include "base/job.h"
#include "pagewriter/page_encryption.h"
#include "pdfread/reader_record.h"
#include "security/object_crypt.h"

namespace brisel {

// Rewrites the plain page image in place: every string and stream encrypted
// with the input's file key, an encryption dictionary appended and the
// trailer naming it and the document identifier. 0 on success; otherwise a
// negative code and the image is left unusable.
int EncryptPageImage(Job& job, const ReaderRecord& reader, Block& image);

// Encrypts stream data piece by piece, as CryptBuffer does whole, with
// method (kCryptRc4, kCryptAes, kCryptAes256) and key; AES starts with
// vector. The key must fit the method.
std::unique_ptr<SpanCoder> MakeSpanCoder(int method, const uint8_t* key, size_t keyLength,
                                         const uint8_t vector[16]);

// The page writer's encryption with the keys of the input's record: what
// RecodeImage does to a whole plain page, done object by object while the
// page file is assembled.
class InputKeyEncryption : public PageEncryption {
public:
    explicit InputKeyEncryption(const ReaderRecord& reader);
    Failure AppendText(int32_t number, const std::string& text, std::string& out) override;
    bool KeepsMetadataPlain() const override { return plainMetadata_; }
    Failure EncryptStreamData(int32_t number, const uint8_t* data, size_t length, bool metadata,
                              std::vector<uint8_t>& out) override;
    Failure StartStreamData(int32_t number, uint64_t length, bool metadata, std::unique_ptr<SpanCoder>& coder,
                            uint64_t& size) override;
    void AppendDictionary(int32_t number, std::string& out) override;
    void AppendFileId(std::string& out) override;

private:
    const ReaderRecord& reader_;
    DataCrypt strings_, streams_;
    bool plainMetadata_;
};

}  // namespace brisel
