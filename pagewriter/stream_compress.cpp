#include "pagewriter/stream_compress.h"

namespace brisel {

namespace {

// " /Filter /FlateDecode" and the longer length it may need.
constexpr size_t kFilterCost = 24;
// Below this, Flate's header and checksum leave nothing to gain.
constexpr size_t kMinCompressed = 64;

}  // namespace

bool MayCompress(Cursor body, Cursor dictEnd) {
    if (dictEnd - body < 4 || !StartsWith(body, dictEnd, "<<")) return false;
    Cursor close = FindDictEnd(body + 2, dictEnd);
    if (!close) return false;
    for (const char* key : {"/Filter", "/DecodeParms", "/F", "/FFilter", "/FDecodeParms"})
        if (FindKey(key, body + 2, close)) return false;
    return !IsMetadata(body, close);
}

bool IsMetadata(Cursor body, Cursor close) {
    Cursor type = FindKey("/Type", body + 2, close);
    if (!type) return false;
    Cursor v = type + 5;
    return SkipWhiteAndComments(v, close) && StartsWith(v, close, "/Metadata") &&
           (v + 9 == close || IsNumberTerminator(v[9]));
}

StreamCompressor::~StreamCompressor() {
    if (ready_) deflateEnd(&z_);
}

bool StreamCompressor::Compress(const uint8_t* data, size_t length, std::string& out) {
    if (length < kMinCompressed || length > kMaxCompressedStream) return false;
    if (!ready_) {
        if (deflateInit(&z_, Z_DEFAULT_COMPRESSION) != Z_OK) return false;
        ready_ = true;
    } else if (deflateReset(&z_) != Z_OK) {
        return false;
    }
    // Room only for a result worth having: a larger one ends the attempt.
    const size_t room = length - kFilterCost;
    out.resize(room);
    z_.next_in = const_cast<Bytef*>(data);
    z_.avail_in = static_cast<uInt>(length);
    z_.next_out = reinterpret_cast<Bytef*>(out.data());
    z_.avail_out = static_cast<uInt>(room);
    if (deflate(&z_, Z_FINISH) != Z_STREAM_END) return false;
    out.resize(room - z_.avail_out);
    return true;
}

}  // namespace brisel
