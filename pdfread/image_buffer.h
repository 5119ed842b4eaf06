// A new PdfImage being assembled by a rewrite: a block that is appended to
// and doubles whenever the free space would fall to the 260-byte margin.
// Offsets in a PdfImage are 64-bit; the bound only keeps the doubling far
// from overflow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "base/block.h"

namespace brisel {

// A rewrite copies its input forward and gives back the memory of what it
// has copied in steps of this size, so that a large input and its new image
// are not held whole at once.
constexpr size_t kSetAsideStep = size_t{64} << 20;

class ImageBuffer {
public:
    static constexpr size_t kMargin = 260;
    static constexpr size_t kMaxImage = static_cast<size_t>(PTRDIFF_MAX) / 4;

    // Allocates the first capacity; false when memory is exhausted.
    bool Init(size_t capacity);
    // Makes room for extra more bytes plus the margin; false when the block
    // cannot grow or the image would outgrow kMaxImage.
    bool Reserve(size_t extra);
    bool Write(const void* bytes, size_t count);
    bool Write(const char* text) { return Write(text, std::strlen(text)); }
    // printf into the buffer; the text must be shorter than 256 bytes.
    bool Print(const char* format, ...);

    size_t size() const { return used_; }
    const uint8_t* data() const { return block_.data(); }
    // Hands the image over in a block of exactly its size; false (and the
    // buffer unchanged) when the block cannot be shrunk.
    bool Finish(Block& image);

private:
    Block block_;
    size_t used_ = 0;
};

}  // namespace brisel
