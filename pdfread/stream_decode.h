// Stream data for the rewrite of cross-reference streams and object
// streams: finding a stream's data, its filter, inflating Flate data and
// undoing the TIFF and PNG predictors. Page content and other streams are
// never decoded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "base/block.h"
#include "base/failure.h"
#include "base/job.h"
#include "pdfread/lexer.h"
#include "pdfread/stream_decryption.h"  // LengthResolver

// zlib's stream state, kept out of this header.
struct z_stream_s;

namespace brisel {

// Filter states of a stream dictionary: no /Filter, /FlateDecode without a
// usable predictor, any other filter; a usable predictor gives its number.
enum : int { kFilterNone = 0, kFilterFlate = 1, kFilterOther = -1 };

// Codes of the stream readers below.
enum StreamDataCode : int32_t {
    kParmsNoRoom = -8,
    kParmsNotDict = -5001,
    kParmsBadColumns = -5002,
    kParmsNotClosed = -5003,
    kStreamNoRoom = -34,
    kStreamEndBeforeKeyword = -35,
    kStreamNoKeyword = -36,  // no "stream", or no "endstream" after it
    kUnsupportedFilter = -5004,
    kInflateNoMemory = -37,
    kInflateNoMoreMemory = -38,
    kInflateFailed = -39,  // data that does not inflate
    kInflateTooLarge = -5067,  // inflates beyond the job's limit (a zlib bomb)
};

// DecodeFlate's results besides 0.
enum FlateResult : int {
    kFlateNoStart = -1,
    kFlateDamaged = -4,
    kFlateTruncated = -5,
    kFlateTooLarge = -10,
};

// The row layout a predictor works on, from /DecodeParms.
struct PredictorParms {
    int32_t columns = 1;
    int32_t colors = 1;
    int32_t bitsPerComponent = 8;
};

// The filter state of the stream whose dictionary body is [dict, dictEnd)
// (dictEnd is its closing ">>"). Flate is /FlateDecode or /Fl, alone or as
// the one element of an array; /Filter null and an empty array are no
// filter. /DecodeParms may be a dictionary, a one-element array of one, or
// null. The state (and parms, when given, set), or a Parms code.
Result<int> ReadFilterState(Cursor dict, Cursor dictEnd, Cursor end, PredictorParms* parms = nullptr);

// Whether a filter state is one this reader decodes: no filter, Flate, or
// Flate with the TIFF predictor 2 or a PNG predictor (10 to 15).
bool IsDecodableState(int state);

// Finds the data of that stream from its /Length and the "stream" and
// "endstream" keywords: it ends before the line end in front of "endstream",
// or at /Length when that is further. An indirect /Length is asked of the
// resolver; a /Length that is absent, unresolved or does not lead to
// "endstream" gives way to the first "endstream" after the data start, as
// every reader does. The data, its measured length and the position after
// "endstream"; or a Stream code.
Failure LocateStreamData(Cursor dict, Cursor dictEnd, Cursor end, Cursor& data, size_t& length,
                     Cursor& afterEndstream, const LengthResolver& resolveLength = nullptr);

// Inflates zlib-format data into the capacity bytes at out and gives the
// decoded length. Data that ends without its final block (a sync flush and
// nothing after it), or is damaged further on (a wrong checksum), gives what
// was inflated before: readers take those bytes as the stream.
// kFlateNoStart when zlib cannot start, kFlateDamaged when the data is
// damaged before anything could be inflated, kFlateTruncated when it ends
// before anything was inflated, kFlateTooLarge when the output needs all of
// the capacity or more. Bytes after the end marker are ignored.
Result<size_t> DecodeFlate(const uint8_t* in, size_t length, uint8_t* out, size_t capacity);

// Inflates zlib-format data, as DecodeFlate does, into a block that grows
// as the output needs without inflating again from the start. The decoded
// length; kInflateNoMemory (first block) or kInflateNoMoreMemory (a later
// one) when memory runs out; kInflateTooLarge beyond the job's InflateLimit
// (2 GiB without a job); DecodeFlate's code for damaged data. The job's
// stop request is checked after every 16 MB of output.
Result<size_t> InflateStream(const uint8_t* in, size_t length, Block& out, const Job* job = nullptr);

// Inflates zlib-format data as far as a reader asks, keeping what it
// inflated: a reader that needs the start of a stream (the objects at the
// front of an object stream) does not pay for the rest, however far that
// inflates. The limits, the stop request and the handling of damaged data
// are those of InflateStream.
class Inflater {
public:
    Inflater(const uint8_t* in, size_t length, const Job* job);
    ~Inflater();
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    // Inflates until at least want bytes are out or the data ends; or
    // InflateStream's code (and every later call gives it again).
    Failure Reach(size_t want);
    // Whether the data ended: nothing more will come out.
    bool Finished() const { return state_ != kRunning; }
    const uint8_t* data() const { return out_.data(); }
    size_t size() const { return total_; }
    // The block holding the output (size() bytes of it are the data).
    Block Take() { return std::move(out_); }

private:
    static constexpr int kRunning = 1;
    const Job* job_;
    uint64_t limit_;
    ::z_stream_s* zs_ = nullptr;
    Block out_;
    size_t total_ = 0;
    int state_ = kRunning;
};

// Undoes a predictor in place. TIFF 2: each sample gets the one to its
// left added (8 and 16 bits per component). PNG (10 to 15): each row starts
// with its own tag, None, Sub, Up, Average or Paeth (an unknown tag is
// taken as Up, as this reader always read them); the tags are removed, so
// length shrinks by one byte a row. A short last row is decoded as far as
// it goes. kUnsupportedFilter for another predictor or a layout it cannot
// undo.
Failure UndoPredictor(uint8_t* data, size_t& length, int predictor, const PredictorParms& parms);

// What a reader reports for data that did not inflate: running out of
// memory and the job's limit as they are, anything else kInflateFailed.
Failure InflateFailure(Failure inflate);

// Undoes a decodable filter state (none, Flate, Flate with a predictor) on
// [data, data + length): data and length then give the decoded bytes, held
// in decoded. The failure is kInflateNoMemory, kInflateNoMoreMemory,
// kInflateTooLarge, kInflateFailed or the predictor's.
Failure DecodeStreamData(const Job& job, int state, const PredictorParms& parms, Cursor& data, size_t& length,
                         Block& decoded);

}  // namespace brisel
