#include "pdfread/image_buffer.h"

#include <cstdarg>
#include <cstdio>

namespace brisel {

bool ImageBuffer::Init(size_t capacity) {
    used_ = 0;
    return capacity <= kMaxImage && block_.Allocate(capacity);
}

bool ImageBuffer::Reserve(size_t extra) {
    if (extra > kMaxImage - used_) return false;
    const size_t needed = used_ + extra + kMargin;
    if (needed <= block_.size()) return true;
    size_t capacity = block_.size() < 32768 ? 32768 : block_.size();
    while (capacity < needed) capacity *= 2;
    if (capacity > kMaxImage + kMargin) capacity = kMaxImage + kMargin;
    return block_.Resize(capacity);
}

bool ImageBuffer::Write(const void* bytes, size_t count) {
    if (!Reserve(count)) return false;
    if (count) std::memcpy(block_.data() + used_, bytes, count);
    used_ += count;
    return true;
}

bool ImageBuffer::Print(const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (n < 0 || static_cast<size_t>(n) >= sizeof text) return false;
    return Write(text, static_cast<size_t>(n));
}

bool ImageBuffer::Finish(Block& image) {
    if (!block_.Resize(used_)) return false;
    image = std::move(block_);
    used_ = 0;
    return true;
}

}  // namespace brisel
