#include "pdfread/object_streams.h"

#include <utility>
#include <vector>

#include "pdfread/stream_decode.h"
#include "pdfread/stream_dict.h"
#include "pdfread/xref_stream_crypt.h"

namespace brisel {

namespace {

// Steps over white space and comments; reaching the end is no error here.
Cursor SkipToToken(Cursor p, Cursor end) {
    SkipWhiteAndComments(p, end);
    return p;
}

}  // namespace

int UnpackObjectStream(Job& job, StreamRewrite& rw, int32_t streamNumber, Cursor at) {
    const Cursor end = rw.end;
    Cursor cur = at;
    int32_t headerNumber = 0;
    if (int r = ReadStreamObjectHeader(job, cur, end, headerNumber)) return r;
    Cursor dict = nullptr, dictEnd = nullptr;
    if (int r = OpenDictionary(job, cur, end, dict, dictEnd)) return r;
    if (int r = CheckTypeName(job, dict, dictEnd, "/ObjStm")) return r;
    int state = 0;
    if (int r = ReadFilterState(job, dict, dictEnd, end, state)) return r;
    if (state != kFilterNone && state != kFilterFlate) return Fail(job, -36);
    int32_t first = 0, count = 0;
    if (int r = ReadRequiredInt(job, "/First", dict, dictEnd, first)) return r;
    if (int r = ReadRequiredInt(job, "/N", dict, dictEnd, count)) return r;
    Cursor data = nullptr, after = nullptr;
    size_t length = 0;
    if (int r = LocateStreamData(job, dict, dictEnd, end, data, length, after)) return r;
    Cursor p = SkipToToken(after, end);
    if (!StartsWith(p, end, "endobj")) return Fail(job, -36);
    rw.readPos = SkipToToken(p + 6, end);

    std::vector<uint8_t> plain;
    if (int r = PlainObjectStreamData(job, rw, streamNumber, data, length, plain)) return r;
    Block decoded;
    if (state == kFilterFlate) {
        size_t decodedLength = 0;
        if (int r = InflateStream(data, length, decoded, decodedLength))
            return Fail(job, r == -37 || r == -38 ? r : -39);
        data = decoded.data();
        length = decodedLength;
    }
    const Cursor dataEnd = data + length;

    // The header: /N pairs of object number and offset from /First. Each
    // pair consumes bytes, so a hostile /N ends with the data.
    std::vector<std::pair<int32_t, int32_t>> pairs;
    Cursor q = data;
    for (int32_t i = 0; i < count; ++i) {
        int32_t number = ReadInt(job, q, dataEnd);
        if (number < 0) return Fail(job, -53);
        int32_t offset = ReadInt(job, q, dataEnd);
        if (offset < 0) return Fail(job, -54);
        pairs.emplace_back(number, offset);
    }
    job.LastError = 0;

    for (size_t i = 0; i < pairs.size(); ++i) {
        const int32_t number = pairs[i].first;
        XrefRecord* record = number < rw.trailer.size ? rw.trailer.Record(number) : nullptr;
        // Only the copy the records point at: a newer version of the object
        // elsewhere wins, and each object is written once.
        if (!record || record->type != kRecordCompressed || record->field2 != streamNumber ||
            record->field3 != static_cast<int64_t>(i) || record->newOffset >= 0)
            continue;
        const bool last = i + 1 == pairs.size();
        const int64_t size = static_cast<int64_t>(length);
        int64_t from = static_cast<int64_t>(first) + pairs[i].second;
        int64_t to = last ? size : static_cast<int64_t>(first) + pairs[i + 1].second;
        if (from > size) from = size;
        if (to > size) to = size;
        if (to < from) to = from;
        const int code = last ? -54 : -53;
        if (!rw.out.Reserve(static_cast<size_t>(to - from) + 290)) return Fail(job, code);
        const int32_t offset = static_cast<int32_t>(rw.out.size());
        if (!rw.out.Print("%d 0 obj\n", number) || !rw.out.Write(data + from, static_cast<size_t>(to - from)) ||
            !rw.out.Write("\nendobj\n"))
            return Fail(job, code);
        record->field2 = offset;
        record->newOffset = offset;
        record->field3 = 0;
    }
    return 0;
}

}  // namespace brisel
