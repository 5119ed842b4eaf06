// The decrypting object copier of the cross-reference-stream rewrite: copies
// the objects that lie in the file itself (not in object streams) into the
// new classic image, decrypted, and records where each one went.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/job.h"
#include "pdfread/lexer.h"
#include "security/recode_object.h"

namespace brisel {

// One in-file object of the input.
struct PlacedObject {
    int32_t number = 0;
    int32_t generation = 0;
    int64_t offset = 0;     // of its header in the input image
    int64_t newOffset = 0;  // in the new image; 0 when it was dropped
};

class DecryptingCopier {
public:
    // objects: the in-file objects sorted by offset; they stay owned by the
    // caller, which reads the new offsets from them.
    DecryptingCopier(Job& job, Cursor start, Cursor end, std::vector<PlacedObject>& objects);

    // Copies the objects from the current position on while their offset lies
    // below limit (all remaining ones when limit is negative), each as
    // "N 0 obj" with its strings and streams decrypted. Before the first
    // object the bytes from readPosition on (the file header) are copied as
    // they are. The encryption dictionary and cross-reference streams are
    // dropped. readPosition ends at limit (or the image end). 0, or a
    // negative code (also in LastError).
    int CopyUpTo(int64_t limit, std::string& out, Cursor& readPosition);

private:
    int64_t LengthOf(int32_t number, int32_t generation) const;

    Job& job_;
    RecodeContext context_;
    std::vector<PlacedObject>& objects_;
    std::vector<size_t> byNumber_;  // positions in objects_, sorted by number
    size_t position_ = 0;
};

}  // namespace brisel
