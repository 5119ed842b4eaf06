#include "pdfread/stream_decode.h"

#include <zlib.h>

#include <climits>
#include <cstring>

#include "pdfread/stream_dict.h"

namespace brisel {

namespace {

bool IsNameAt(Cursor p, Cursor end, const char* name) {
    size_t n = std::strlen(name);
    return StartsWith(p, end, name) && (p + n == end || IsNumberTerminator(p[n]));
}

}  // namespace

int ReadFilterState(Job& job, Cursor dict, Cursor dictEnd, Cursor end, int& state) {
    state = kFilterNone;
    Cursor key = FindKey(job, "/Filter", dict, dictEnd);
    job.LastError = 0;
    if (!key) return 0;
    Cursor p = key + 7;
    SkipWhiteAndComments(p, dictEnd);
    // Only the single name: a filter array is as unsupported as any other
    // filter.
    if (!IsNameAt(p, dictEnd, "/FlateDecode")) {
        state = kFilterOther;
        return 0;
    }
    state = kFilterFlate;

    Cursor parms = FindKey(job, "/DecodeParms", dict, dictEnd);
    job.LastError = 0;
    if (!parms) return 0;
    p = parms + 12;
    SkipWhiteAndComments(p, end);
    if (end - p <= 4) return job.LastError = -8;
    if (!StartsWith(p, end, "<<")) return job.LastError = -9;
    Cursor parmsEnd = FindDictEnd(p + 2, end);
    if (!parmsEnd) return job.LastError = -87;
    // The predictor counts only beside a readable /Columns, whose value the
    // row layout does not need: the /W widths give the rows.
    Cursor columns = FindKey(job, "/Columns", p + 2, parmsEnd);
    job.LastError = 0;
    if (!columns) return 0;
    Cursor q = columns + 8;
    if (ReadInt(job, q, parmsEnd) < 0) return job.LastError = -32;
    Cursor predictor = FindKey(job, "/Predictor", p + 2, parmsEnd);
    job.LastError = 0;
    if (!predictor) return 0;
    q = predictor + 10;
    int32_t value = ReadInt(job, q, parmsEnd);
    job.LastError = 0;
    if (value >= 0) state = value;
    return 0;
}

int LocateStreamData(Job& job, Cursor dict, Cursor dictEnd, Cursor end, Cursor& data, size_t& length,
                     Cursor& afterEndstream) {
    int32_t declared = 0;
    if (int r = ReadRequiredInt(job, "/Length", dict, dictEnd, declared)) return r;

    if (end - dictEnd <= 17) return job.LastError = -34;
    Cursor p = dictEnd + 2;
    if (SkipSpace(job, p, end) < 0) return job.LastError = -35;
    if (!StartsWith(p, end, "stream")) return job.LastError = -36;
    p += 6;
    if (p < end && *p == '\r') ++p;
    if (p < end && *p == '\n') ++p;
    Cursor start = p;

    // /Length leads to "endstream"; the data ends before the one line end
    // in front of it.
    if (declared > end - start) return job.LastError = -36;
    p = start + declared;
    while (p < end && IsLineEnd(*p)) ++p;
    if (!StartsWith(p, end, "endstream")) return job.LastError = -36;
    Cursor stop = p;
    if (stop > start && stop[-1] == '\n') --stop;
    if (stop > start && stop[-1] == '\r') --stop;
    // Data that itself ends in CR (or LF) before the line end would lose
    // that byte to the measure; a /Length that covers it is believed.
    if (stop < start + declared) stop = start + declared;
    data = start;
    length = static_cast<size_t>(stop - start);
    afterEndstream = p + 9;
    return 0;
}

int DecodeFlate(const uint8_t* in, size_t length, uint8_t* out, size_t& capacity) {
    if (length > UINT_MAX) return -4;
    const size_t room = capacity < UINT_MAX ? capacity : UINT_MAX;
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK) return -1;
    zs.next_in = const_cast<Bytef*>(in);
    zs.avail_in = static_cast<uInt>(length);
    zs.next_out = out;
    zs.avail_out = static_cast<uInt>(room);
    int result = 0;
    for (;;) {
        int r = inflate(&zs, Z_SYNC_FLUSH);
        if (r == Z_STREAM_END) break;
        if (r != Z_OK && r != Z_BUF_ERROR) {
            result = zs.avail_in > 0 ? -4 : -5;
            break;
        }
        if (zs.avail_out == 0) {
            result = -10;
            break;
        }
        // No progress possible: the input is used up before the end marker.
        if (r == Z_BUF_ERROR) {
            result = -5;
            break;
        }
    }
    const size_t total = zs.total_out;
    inflateEnd(&zs);
    if (result != 0) return result;
    if (total >= room) return -10;
    capacity = total;
    return 0;
}

int InflateStream(const uint8_t* in, size_t length, Block& out, size_t& decoded) {
    // The block starts at 20 times the input and doubles, so data that
    // inflates far beyond that costs a few passes, not one per step.
    constexpr size_t kMaxDecoded = INT32_MAX;
    for (size_t factor = 20;; factor *= 2) {
        const bool first = factor == 20;
        size_t capacity = length * factor;
        if (capacity < 64) capacity = 64;
        if (length > kMaxDecoded / factor || !out.Allocate(capacity)) return first ? -37 : -38;
        int r = DecodeFlate(in, length, out.data(), capacity);
        if (r == 0) {
            decoded = capacity;
            return 0;
        }
        out.Release();
        if (r != -10) return r;
    }
}

void UndoUpPredictor(uint8_t* data, size_t length, size_t rowWidth) {
    if (rowWidth < 2) return;
    const size_t rows = length / rowWidth;
    for (size_t r = 1; r < rows; ++r) {
        uint8_t* row = data + r * rowWidth;
        const uint8_t* above = row - rowWidth;
        for (size_t c = 1; c < rowWidth; ++c) row[c] = static_cast<uint8_t>(row[c] + above[c]);
    }
}

}  // namespace brisel
