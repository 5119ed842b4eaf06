#include "pdfread/stream_decode.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

#include "pdfread/stream_dict.h"

namespace brisel {

namespace {

bool IsNameAt(Cursor p, Cursor end, const char* name) {
    size_t n = std::strlen(name);
    return StartsWith(p, end, name) && (p + n == end || IsNumberTerminator(p[n]));
}

bool IsFlateName(Cursor p, Cursor end) { return IsNameAt(p, end, "/FlateDecode") || IsNameAt(p, end, "/Fl"); }

// The value of an entry that may be given alone, as the one element of an
// array, or as null: the cursor on the single value, or null when there is
// none (null, or an empty array). several is set for an array of more than
// one element.
Cursor SingleValue(Cursor p, Cursor end, bool& several) {
    several = false;
    if (!SkipWhiteAndComments(p, end)) return nullptr;
    if (IsNameAt(p, end, "null")) return nullptr;
    if (*p != '[') return p;
    ++p;
    if (!SkipWhiteAndComments(p, end) || *p == ']' || IsNameAt(p, end, "null")) return nullptr;
    Cursor value = p;
    // A second element: a filter chain this reader does not decode.
    if (*p == '/') {
        ++p;
        while (p < end && !IsDelimiter(*p)) ++p;
        several = SkipWhiteAndComments(p, end) && *p != ']';
    }
    return value;
}

// A small positive number of the parameters, or the default.
int32_t ReadParm(const char* key, Cursor dict, Cursor dictEnd, int32_t fallback) {
    Cursor at = FindKey(key, dict, dictEnd);
    if (!at) return fallback;
    Cursor p = at + std::strlen(key);
    int32_t value = ReadInt(p, dictEnd).value_or(-1);
    return value >= 1 ? value : fallback;
}

}  // namespace

bool IsDecodableState(int state) {
    return state == kFilterNone || state == kFilterFlate || state == 2 || (state >= 10 && state <= 15);
}

Result<int> ReadFilterState(Cursor dict, Cursor dictEnd, Cursor end, PredictorParms* parms) {
    Cursor key = FindKey("/Filter", dict, dictEnd);
    if (!key) return kFilterNone;
    bool several = false;
    Cursor p = SingleValue(key + 7, dictEnd, several);
    if (!p) return kFilterNone;
    if (several || !IsFlateName(p, dictEnd)) return kFilterOther;

    Cursor parmsKey = FindKey("/DecodeParms", dict, dictEnd);
    if (!parmsKey) return kFilterFlate;
    p = parmsKey + 12;
    SkipWhiteAndComments(p, end);
    if (end - p <= 4) return Failure(kParmsNoRoom);
    if (*p == '[' || IsNameAt(p, end, "null")) {
        p = SingleValue(p, dictEnd, several);
        if (!p) return kFilterFlate;
    }
    if (!StartsWith(p, end, "<<")) return Failure(kParmsNotDict);
    Cursor parmsEnd = FindDictEnd(p + 2, end);
    if (!parmsEnd) return Failure(kParmsNotClosed);
    // The predictor counts only beside a readable /Columns.
    Cursor columns = FindKey("/Columns", p + 2, parmsEnd);
    if (!columns) return kFilterFlate;
    Cursor q = columns + 8;
    const int32_t columnCount = ReadInt(q, parmsEnd).value_or(-1);
    if (columnCount < 0) return Failure(kParmsBadColumns);
    Cursor predictor = FindKey("/Predictor", p + 2, parmsEnd);
    if (!predictor) return kFilterFlate;
    q = predictor + 10;
    int32_t value = ReadInt(q, parmsEnd).value_or(-1);
    if (parms) {
        parms->columns = columnCount;
        parms->colors = ReadParm("/Colors", p + 2, parmsEnd, 1);
        parms->bitsPerComponent = ReadParm("/BitsPerComponent", p + 2, parmsEnd, 8);
    }
    // Predictor 1 is no predictor.
    return value > 1 ? value : kFilterFlate;
}

namespace {

// The first "endstream" at or after from, or null.
Cursor FindEndstream(Cursor from, Cursor end) {
    for (Cursor p = from; end - p >= 9; ++p) {
        p = static_cast<Cursor>(std::memchr(p, 'e', static_cast<size_t>(end - p)));
        if (!p || end - p < 9) return nullptr;
        if (std::memcmp(p, "endstream", 9) == 0) return p;
    }
    return nullptr;
}

// The /Length of the dictionary: a direct number, or an indirect one that
// the resolver finds. -1 when there is none to believe.
int64_t DeclaredLength(Cursor dict, Cursor dictEnd, const LengthResolver& resolveLength) {
    Cursor key = FindKey("/Length", dict, dictEnd);
    if (!key) return -1;
    Cursor p = key + 7;
    int32_t value, generation;
    const PartFault fault = ReadReferenceValue(p, dictEnd, value, generation);
    if (fault == PartFault::Number) return -1;
    if (fault != PartFault::None) return value;
    return resolveLength ? resolveLength(value, generation) : -1;
}

}  // namespace

Failure LocateStreamData(Cursor dict, Cursor dictEnd, Cursor end, Cursor& data, size_t& length,
                         Cursor& afterEndstream, const LengthResolver& resolveLength) {
    const int64_t declared = DeclaredLength(dict, dictEnd, resolveLength);

    if (end - dictEnd <= 17) return Failure(kStreamNoRoom);
    Cursor p = dictEnd + 2;
    if (!SkipSpace(p, end)) return Failure(kStreamEndBeforeKeyword);
    if (!StartsWith(p, end, "stream")) return Failure(kStreamNoKeyword);
    p += 6;
    if (p < end && *p == '\r') ++p;
    if (p < end && *p == '\n') ++p;
    Cursor start = p;

    // /Length leads to "endstream"; the data ends before the one line end
    // in front of it.
    Cursor stop = nullptr;
    if (declared >= 0 && declared <= end - start) {
        p = start + declared;
        while (p < end && IsLineEnd(*p)) ++p;
        if (StartsWith(p, end, "endstream")) stop = p;
    }
    const bool believed = stop != nullptr;
    if (!stop) stop = FindEndstream(start, end);
    if (!stop) return Failure(kStreamNoKeyword);
    p = stop;
    if (stop > start && stop[-1] == '\n') --stop;
    if (stop > start && stop[-1] == '\r') --stop;
    // Data that itself ends in CR (or LF) before the line end would lose
    // that byte to the measure; a /Length that covers it is believed.
    if (believed && stop < start + declared) stop = start + declared;
    data = start;
    length = static_cast<size_t>(stop - start);
    afterEndstream = p + 9;
    return Failure();
}

Result<size_t> DecodeFlate(const uint8_t* in, size_t length, uint8_t* out, size_t capacity) {
    if (length > UINT_MAX) return Failure(kFlateDamaged);
    const size_t room = capacity < UINT_MAX ? capacity : UINT_MAX;
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK) return Failure(kFlateNoStart);
    zs.next_in = const_cast<Bytef*>(in);
    zs.avail_in = static_cast<uInt>(length);
    zs.next_out = out;
    zs.avail_out = static_cast<uInt>(room);
    int result = 0;
    for (;;) {
        int r = inflate(&zs, Z_SYNC_FLUSH);
        if (r == Z_STREAM_END) break;
        // A full output may hide more data, whatever else zlib says.
        if (zs.avail_out == 0) {
            result = kFlateTooLarge;
            break;
        }
        if (r == Z_OK) continue;
        // The input ran out before the end marker (Z_BUF_ERROR: no progress
        // possible), or the data is damaged from here on: what was inflated
        // before is the stream's data.
        if (zs.total_out == 0) result = r == Z_BUF_ERROR ? kFlateTruncated : kFlateDamaged;
        break;
    }
    const size_t total = zs.total_out;
    inflateEnd(&zs);
    if (result != 0) return Failure(result);
    if (total >= room) return Failure(kFlateTooLarge);
    return total;
}

Inflater::Inflater(const uint8_t* in, size_t length, const Job* job)
    : job_(job), limit_(job && job->InflateLimit > 0 ? job->InflateLimit : uint64_t{INT32_MAX}) {
    if (length > UINT_MAX) {
        state_ = kFlateDamaged;
        return;
    }
    // The block starts at four times the input and doubles: the bytes
    // inflated so far are kept, never inflated again.
    const size_t capacity = std::max<size_t>(64, std::min<uint64_t>(length * uint64_t{4}, limit_));
    if (!out_.Allocate(capacity)) {
        state_ = kInflateNoMemory;
        return;
    }
    zs_ = new (std::nothrow) z_stream{};
    if (!zs_ || inflateInit(zs_) != Z_OK) {
        delete zs_;
        zs_ = nullptr;
        state_ = kFlateNoStart;
        return;
    }
    zs_->next_in = const_cast<Bytef*>(in);
    zs_->avail_in = static_cast<uInt>(length);
    state_ = kRunning;
}

Inflater::~Inflater() {
    if (zs_) inflateEnd(zs_);
    delete zs_;
}

Failure Inflater::Reach(size_t want) {
    // Output is made in steps of at most this, so that a stop request is
    // seen within a step however far the data inflates.
    constexpr size_t kStep = 16u << 20;
    while (state_ == kRunning && total_ < want) {
        if (total_ == out_.size()) {
            if (out_.size() >= limit_) return Failure(state_ = kInflateTooLarge);
            const size_t grown = static_cast<size_t>(std::min<uint64_t>(uint64_t{out_.size()} * 2, limit_));
            if (!out_.Resize(grown)) return Failure(state_ = kInflateNoMoreMemory);
        }
        zs_->next_out = out_.data() + total_;
        zs_->avail_out = static_cast<uInt>(std::min(out_.size() - total_, kStep));
        const uInt room = zs_->avail_out;
        const int r = inflate(zs_, Z_SYNC_FLUSH);
        total_ += room - zs_->avail_out;
        if (r == Z_STREAM_END) {
            state_ = 0;
            break;
        }
        if (job_ && job_->Stopped()) return Failure(state_ = kInflateFailed);
        // A full step may hide more data, whatever else zlib says.
        if (zs_->avail_out == 0 || r == Z_OK) continue;
        // The input ran out before the end marker (Z_BUF_ERROR: no progress
        // possible), or the data is damaged from here on: what was inflated
        // before is the stream's data.
        state_ = total_ > 0 ? 0 : r == Z_BUF_ERROR ? kFlateTruncated : kFlateDamaged;
    }
    return Failure(state_ == kRunning ? 0 : state_);
}

Result<size_t> InflateStream(const uint8_t* in, size_t length, Block& out, const Job* job) {
    Inflater inflater(in, length, job);
    if (Failure f = inflater.Reach(SIZE_MAX)) {
        out.Release();
        return f;
    }
    const size_t decoded = inflater.size();
    out = inflater.Take();
    return decoded;
}

namespace {

int PaethPredictor(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return a;
    return pb <= pc ? b : c;
}

// TIFF predictor 2 over rows of rowBytes: each sample plus the one a pixel
// to its left.
void UndoTiff(uint8_t* data, size_t length, size_t rowBytes, const PredictorParms& parms) {
    const size_t colors = static_cast<size_t>(parms.colors);
    for (size_t at = 0; at < length; at += rowBytes) {
        uint8_t* row = data + at;
        const size_t bytes = std::min(rowBytes, length - at);
        if (parms.bitsPerComponent == 8) {
            for (size_t i = colors; i < bytes; ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - colors]);
        } else {
            const size_t step = 2 * colors;
            for (size_t i = step; i + 1 < bytes; i += 2) {
                const unsigned sum = ((row[i] << 8 | row[i + 1]) + (row[i - step] << 8 | row[i - step + 1])) & 0xffff;
                row[i] = static_cast<uint8_t>(sum >> 8);
                row[i + 1] = static_cast<uint8_t>(sum);
            }
        }
    }
}

// PNG predictors: rows of a tag byte and rowBytes data bytes, decoded into
// rows of rowBytes at the start of the same buffer. The output of a row
// never reaches the input bytes not yet read.
void UndoPng(uint8_t* data, size_t& length, size_t rowBytes, size_t bpp) {
    size_t out = 0;
    for (size_t at = 0; at < length; at += rowBytes + 1) {
        const uint8_t tag = data[at];
        const uint8_t* in = data + at + 1;
        // A short last row (an encoder that did not pad) is decoded as far
        // as it goes.
        const size_t bytes = std::min(rowBytes, length - at - 1);
        uint8_t* row = data + out;
        const uint8_t* above = out > 0 ? row - rowBytes : nullptr;
        for (size_t i = 0; i < bytes; ++i) {
            const int a = i >= bpp ? row[i - bpp] : 0;
            const int b = above ? above[i] : 0;
            const int c = above && i >= bpp ? above[i - bpp] : 0;
            int predicted;
            switch (tag) {
                case 0: predicted = 0; break;
                case 1: predicted = a; break;
                case 3: predicted = (a + b) / 2; break;
                case 4: predicted = PaethPredictor(a, b, c); break;
                default: predicted = b; break;  // Up, and any unknown tag
            }
            row[i] = static_cast<uint8_t>(in[i] + predicted);
        }
        out += bytes;
    }
    length = out;
}

}  // namespace

Failure UndoPredictor(uint8_t* data, size_t& length, int predictor, const PredictorParms& parms) {
    // Components are 1, 2, 4, 8 or 16 bits: any other size is no predictor
    // of ours, and the bound keeps the pixel width below any overflow.
    const int32_t bpc = parms.bitsPerComponent;
    if (bpc != 1 && bpc != 2 && bpc != 4 && bpc != 8 && bpc != 16) return Failure(kUnsupportedFilter);
    const int64_t bits = static_cast<int64_t>(parms.columns) * parms.colors * bpc;
    if (parms.columns < 1 || parms.colors < 1 || parms.colors > 32 || bits > (int64_t{1} << 34))
        return Failure(kUnsupportedFilter);
    const size_t rowBytes = static_cast<size_t>((bits + 7) / 8);
    if (predictor == 2) {
        if (parms.bitsPerComponent != 8 && parms.bitsPerComponent != 16) return Failure(kUnsupportedFilter);
        UndoTiff(data, length, rowBytes, parms);
        return Failure();
    }
    if (predictor < 10 || predictor > 15) return Failure(kUnsupportedFilter);
    const int bitsPerPixel = parms.colors * parms.bitsPerComponent;
    const size_t bpp = bitsPerPixel < 8 ? 1 : static_cast<size_t>(bitsPerPixel / 8);
    UndoPng(data, length, rowBytes, bpp);
    return Failure();
}

Failure InflateFailure(Failure f) {
    const int32_t r = f.code;
    return r == kInflateNoMemory || r == kInflateNoMoreMemory || r == kInflateTooLarge ? f : Failure(kInflateFailed);
}

Failure DecodeStreamData(const Job& job, int state, const PredictorParms& parms, Cursor& data, size_t& length,
                         Block& decoded) {
    if (state == kFilterNone) return Failure();
    const Result<size_t> inflated = InflateStream(data, length, decoded, &job);
    if (!inflated) return InflateFailure(inflated.failure());
    length = *inflated;
    if (state != kFilterFlate) {
        if (Failure f = UndoPredictor(decoded.data(), length, state, parms)) return f;
    }
    data = decoded.data();
    return Failure();
}

}  // namespace brisel
