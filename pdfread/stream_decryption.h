// What the rewrite of cross-reference streams needs when a stream dictionary
// names /Encrypt. Reading never asks for a password and holds no keys: a
// layer above implements this with the security handler and the job's
// password loop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/job.h"
#include "pdfread/lexer.h"

namespace brisel {

// The integer of an indirect /Length object, or -1 when it cannot be found.
using LengthResolver = std::function<int64_t(int32_t number, int32_t generation)>;

class StreamDecryption {
public:
    virtual ~StreamDecryption() = default;
    // The encryption dictionary is object number/generation at offset of
    // [start, end): reads it, checks that the file can be opened and split
    // and finds the file key. 0, or the code that ends the rewrite (the
    // reader's code, or kResultAlreadyTold when the user was told why or
    // cancelled).
    virtual int Open(Job& job, Cursor start, Cursor end, int32_t number, int32_t generation, int64_t offset) = 0;
    // Appends the object at offset decrypted ("N G obj ... endobj"); written
    // is false for an object that is dropped (the encryption dictionary, a
    // cross-reference stream). 0 or a negative code.
    virtual int CopyObject(Job& job, Cursor start, Cursor end, const LengthResolver& resolveLength, int32_t number,
                           int32_t generation, int64_t offset, std::string& out, bool& written) = 0;
    // The plain bytes of an object stream's data, before they are inflated.
    // 0, or a code: the rewrite then fails with kRewriteNotDecrypted.
    virtual int DecryptObjectStream(int32_t number, const uint8_t* data, size_t length, std::vector<uint8_t>& out) = 0;
};

}  // namespace brisel
