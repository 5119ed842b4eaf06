// How the page writer encrypts the page file of an encrypted input while it
// assembles it: each object's strings and stream data go through the input's
// keys on their way into the file. The security handler implements it; the
// writer holds no keys.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/failure.h"
#include "pagewriter/page_spans.h"

namespace brisel {

class PageEncryption {
public:
    virtual ~PageEncryption() = default;
    // Appends the text of object number (generation 0) with every string
    // encrypted.
    virtual Failure AppendText(int32_t number, const std::string& text, std::string& out) = 0;
    // Whether metadata streams stay plain.
    virtual bool KeepsMetadataPlain() const = 0;
    // The stream data of object number, encrypted (or as it is for a
    // metadata stream that stays plain).
    virtual Failure EncryptStreamData(int32_t number, const uint8_t* data, size_t length, bool metadata,
                                      std::vector<uint8_t>& out) = 0;
    // The same for data of length bytes written in pieces: coder encrypts
    // them as they are written (null: they go as they are), size is what
    // they take in the file.
    virtual Failure StartStreamData(int32_t number, uint64_t length, bool metadata,
                                    std::unique_ptr<SpanCoder>& coder, uint64_t& size) = 0;
    // Appends the encryption dictionary as object number.
    virtual void AppendDictionary(int32_t number, std::string& out) = 0;
    // Appends the trailer's document identifier entry.
    virtual void AppendFileId(std::string& out) = 0;
};

}  // namespace brisel
