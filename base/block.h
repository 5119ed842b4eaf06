// A single-owner block of bytes: the PdfImage and the work buffers. Unlike
// std::vector it does not clear the bytes it allocates, and allocation
// failure is a result, not an exception. A block may also hold a private
// (copy-on-write) mapping of a file, released by its own function.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace brisel {

class Block {
public:
    using ReleaseFunction = void (*)(uint8_t* data, size_t size);

    Block() = default;
    ~Block() { Release(); }
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;
    Block(Block&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)),
          size_(std::exchange(other.size_, 0)),
          release_(std::exchange(other.release_, nullptr)) {}
    Block& operator=(Block&& other) noexcept {
        if (this != &other) {
            Release();
            data_ = std::exchange(other.data_, nullptr);
            size_ = std::exchange(other.size_, 0);
            release_ = std::exchange(other.release_, nullptr);
        }
        return *this;
    }

    // Takes memory that must be given back with release (a file mapping).
    void Adopt(uint8_t* data, size_t size, ReleaseFunction release) {
        Release();
        data_ = data;
        size_ = size;
        release_ = release;
    }

    // Allocates size bytes (left uninitialised); false when memory is exhausted.
    bool Allocate(size_t size) {
        void* p = std::malloc(size ? size : 1);
        if (!p) return false;
        Release();
        data_ = static_cast<uint8_t*>(p);
        size_ = size;
        return true;
    }
    // Changes the size keeping the content; false (and unchanged) on failure.
    bool Resize(size_t size) {
        if (release_) {
            Block copy;
            if (!copy.Allocate(size)) return false;
            std::memcpy(copy.data_, data_, size < size_ ? size : size_);
            *this = std::move(copy);
            return true;
        }
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
        if (release_) release_(data_, size_);
        else std::free(data_);
        data_ = nullptr;
        size_ = 0;
        release_ = nullptr;
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
    ReleaseFunction release_ = nullptr;
};

}  // namespace brisel
