// A small open-addressing map from input object numbers to positions, sized by
// what one page reaches rather than by the document's object count.
#pragma once

#include <cstdint>
#include <vector>

namespace brisel {

class ObjectMap {
public:
    // The value stored for the key, or -1.
    int32_t Find(int32_t key) const {
        if (slots_.empty()) return -1;
        for (size_t i = Hash(key) & mask_;; i = (i + 1) & mask_) {
            if (slots_[i].key == key) return slots_[i].value;
            if (slots_[i].key == kEmpty) return -1;
        }
    }
    void Insert(int32_t key, int32_t value) {
        if ((count_ + 1) * 2 > slots_.size()) Grow();
        for (size_t i = Hash(key) & mask_;; i = (i + 1) & mask_) {
            if (slots_[i].key == kEmpty) {
                slots_[i] = {key, value};
                ++count_;
                return;
            }
            if (slots_[i].key == key) {
                slots_[i].value = value;
                return;
            }
        }
    }

private:
    static constexpr int32_t kEmpty = INT32_MIN;
    struct Slot {
        int32_t key = kEmpty;
        int32_t value = -1;
    };
    static size_t Hash(int32_t key) { return static_cast<size_t>(static_cast<uint32_t>(key) * 2654435761u); }
    void Grow() {
        std::vector<Slot> old;
        old.swap(slots_);
        slots_.assign(old.empty() ? 64 : old.size() * 2, Slot{});
        mask_ = slots_.size() - 1;
        count_ = 0;
        for (const Slot& s : old)
            if (s.key != kEmpty) Insert(s.key, s.value);
    }
    std::vector<Slot> slots_;
    size_t mask_ = 0;
    size_t count_ = 0;
};

}  // namespace brisel
