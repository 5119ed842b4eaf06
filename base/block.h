// A single-owner block of bytes: the PdfImage and the work buffers. Unlike
// std::vector it does not clear the bytes it allocates, and allocation
// failure is a result, not an exception.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace brisel {

class Block {
public:
    Block() = default;
    ~Block() { std::free(data_); }
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;
    Block(Block&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
    Block& operator=(Block&& other) noexcept {
        if (this != &other) {
            std::free(data_);
            data_ = std::exchange(other.data_, nullptr);
            size_ = std::exchange(other.size_, 0);
        }
        return *this;
    }

    // Allocates size bytes (left uninitialised); false when memory is exhausted.
    bool Allocate(size_t size) {
        void* p = std::malloc(size ? size : 1);
        if (!p) return false;
        std::free(data_);
        data_ = static_cast<uint8_t*>(p);
        size_ = size;
        return true;
    }
    // Changes the size keeping the content; false (and unchanged) on failure.
    bool Resize(size_t size) {
        void* p = std::realloc(data_, size ? size : 1);
        if (!p) return false;
        data_ = static_cast<uint8_t*>(p);
        size_ = size;
        return true;
    }
    // Makes the block hold a copy of [from, from + size).
    bool Assign(const uint8_t* from, size_t size) {
        if (!Allocate(size)) return false;
        if (size) std::memcpy(data_, from, size);
        return true;
    }
    void Release() {
        std::free(data_);
        data_ = nullptr;
        size_ = 0;
    }

    uint8_t* data() { return data_; }
    const uint8_t* data() const { return data_; }
    uint8_t* begin() { return data_; }
    uint8_t* end() { return data_ + size_; }
    const uint8_t* begin() const { return data_; }
    const uint8_t* end() const { return data_ + size_; }
    size_t size() const { return size_; }
    bool empty() const { return data_ == nullptr; }

private:
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

}  // namespace brisel
