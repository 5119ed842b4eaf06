// Flate for the stream data a page file copies plain. Inputs often leave
// content streams, fonts and images without a filter; compressed, a page
// file is a fraction of their size, and every reader decodes Flate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include <zlib.h>

#include "pdfread/lexer.h"

namespace brisel {

// Streams above this are copied as they are: compressing them would hold
// a second copy of a large image in memory.
constexpr size_t kMaxCompressedStream = size_t{64} << 20;

// Whether the stream dictionary that runs from body to dictEnd ("stream"
// keyword excluded) may be given a Flate filter: no filter, no decoding
// parameters, no external data, and not XMP metadata, which stays
// readable to tools that search files for it.
bool MayCompress(Cursor body, Cursor dictEnd);

// Whether the dictionary from "<<" at body to its ">>" at close says
// /Type /Metadata.
bool IsMetadata(Cursor body, Cursor close);

class StreamCompressor {
public:
    StreamCompressor() = default;
    StreamCompressor(const StreamCompressor&) = delete;
    StreamCompressor& operator=(const StreamCompressor&) = delete;
    ~StreamCompressor();

    // The zlib form of data in out, when it is smaller than the data by more
    // than the filter entry it costs; false (out unspecified) otherwise.
    bool Compress(const uint8_t* data, size_t length, std::string& out);

private:
    z_stream z_{};
    bool ready_ = false;
};

}  // namespace brisel
