// The data of large streams, left out of a page file's text: each span is a
// range of the input that goes into the file at a place in the text,
// straight from the input (through the encryption for an encrypted input),
// so that a page with a stream of gigabytes never holds it in memory.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace brisel {

// Encrypts a stream's data piece by piece, in order, once.
class SpanCoder {
public:
    virtual ~SpanCoder() = default;
    // Codes the next length bytes at in into out, which has room for
    // length + kRoom bytes. Returns the bytes written.
    virtual size_t Code(const uint8_t* in, size_t length, uint8_t* out) = 0;
    // After the last piece: the bytes that close the data (a padding
    // block), into out, which has room for kRoom bytes.
    virtual size_t Close(uint8_t* out) = 0;
    static constexpr size_t kRoom = 32;
};

struct StreamSpan {
    size_t at = 0;  // where in the text the span's bytes go
    const uint8_t* data = nullptr;
    uint64_t length = 0;  // the input's bytes
    uint64_t size = 0;    // the bytes they take in the file
    std::unique_ptr<SpanCoder> coder;  // null: copied as they are
};

struct PageSpans {
    std::vector<StreamSpan> spans;
    uint64_t bytes = 0;  // the sum of the spans' sizes
    void clear() {
        spans.clear();
        bytes = 0;
    }
};

// Hands the bytes of a page file, its text with the spans in their places,
// to put(data, size) in order, a span in pieces of at most piece bytes.
// stopped() is asked between pieces; true ends the walk. Returns false
// when put returned false or the walk was stopped.
template <class Put, class Stopped>
bool WalkPageBytes(const std::string& text, PageSpans& spans, size_t piece, Put&& put, Stopped&& stopped) {
    size_t from = 0;
    std::vector<uint8_t> coded;
    for (StreamSpan& span : spans.spans) {
        if (span.at > from && !put(reinterpret_cast<const uint8_t*>(text.data()) + from, span.at - from)) return false;
        from = span.at;
        for (uint64_t done = 0; done < span.length;) {
            if (stopped()) return false;
            const size_t n = static_cast<size_t>(std::min<uint64_t>(piece, span.length - done));
            if (!span.coder) {
                if (!put(span.data + done, n)) return false;
            } else {
                coded.resize(n + SpanCoder::kRoom);
                if (!put(coded.data(), span.coder->Code(span.data + done, n, coded.data()))) return false;
            }
            done += n;
        }
        if (span.coder) {
            coded.resize(SpanCoder::kRoom);
            const size_t n = span.coder->Close(coded.data());
            if (n && !put(coded.data(), n)) return false;
        }
    }
    return text.size() <= from || put(reinterpret_cast<const uint8_t*>(text.data()) + from, text.size() - from);
}

}  // namespace brisel
