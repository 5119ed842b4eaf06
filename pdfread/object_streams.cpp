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
    // The repair takes what it found as an object stream whatever its /Type.
    if (!rw.adoptUnlisted) {
        if (int r = CheckTypeName(job, dict, dictEnd, "/ObjStm")) return r;
    }
    int state = 0;
    PredictorParms parms;
    if (int r = ReadFilterState(job, dict, dictEnd, end, state, &parms)) return r;
    if (!IsDecodableState(state)) return Fail(job, kUnsupportedFilter);
    int32_t first = 0, count = 0;
    if (int r = ReadRequiredInt(job, "/First", dict, dictEnd, first)) return r;
    if (int r = ReadRequiredInt(job, "/N", dict, dictEnd, count)) return r;
    Cursor data = nullptr, after = nullptr;
    size_t length = 0;
    auto resolveLength = [&](int32_t number, int32_t generation) {
        return LengthFromRecords(job, rw, number, generation);
    };
    if (int r = LocateStreamData(job, dict, dictEnd, end, data, length, after, resolveLength)) return r;
    Cursor p = SkipToToken(after, end);
    if (!StartsWith(p, end, "endobj")) return Fail(job, kRewriteNoObjStmEnd);
    rw.readPos = SkipToToken(p + 6, end);

    std::vector<uint8_t> plain;
    if (int r = PlainObjectStreamData(job, rw, streamNumber, data, length, plain)) return r;
    Block decoded;
    if (int r = DecodeStreamData(job, state, parms, data, length, decoded)) return r;
    const Cursor dataEnd = data + length;

    // The header: /N pairs of object number and offset from /First. Each
    // pair consumes bytes, so a hostile /N ends with the data.
    std::vector<std::pair<int32_t, int32_t>> pairs;
    Cursor q = data;
    for (int32_t i = 0; i < count; ++i) {
        int32_t number = ReadInt(q, dataEnd).value_or(-1);
        if (number < 0) return Fail(job, kRewriteBadPairNumber);
        int32_t offset = ReadInt(q, dataEnd).value_or(-1);
        if (offset < 0) return Fail(job, kRewriteBadPairOffset);
        pairs.emplace_back(number, offset);
    }
    job.LastError = 0;

    for (size_t i = 0; i < pairs.size(); ++i) {
        const int32_t number = pairs[i].first;
        // A stream that lists its own number: that entry would replace it.
        if (number == streamNumber) continue;
        XrefRecord* record = rw.adoptUnlisted ? rw.trailer.Grow(number) : rw.trailer.Record(number);
        // Only an object the records place in this stream: a newer version
        // elsewhere wins, and each object is written once. Its number finds
        // it, not the index the records give, which writers get wrong (an
        // index counted without the stream's own number in its list).
        const bool take = rw.adoptUnlisted
                              ? record && (record->type == kRecordUnset || record->type == kRecordCompressed)
                              : record && record->type == kRecordCompressed && record->Stream() == streamNumber &&
                                    record->newOffset < 0;
        if (!take) continue;
        const bool last = i + 1 == pairs.size();
        const int64_t size = static_cast<int64_t>(length);
        int64_t from = static_cast<int64_t>(first) + pairs[i].second;
        int64_t to = last ? size : static_cast<int64_t>(first) + pairs[i + 1].second;
        if (from > size) from = size;
        if (to > size) to = size;
        if (to < from) to = from;
        const int code = last ? kRewriteSectionFull : kRewriteImageFull;
        if (!rw.out.Reserve(static_cast<size_t>(to - from) + 290)) return Fail(job, code);
        const int64_t offset = static_cast<int64_t>(rw.out.size());
        if (!rw.out.Print("%d 0 obj\n", number) || !rw.out.Write(data + from, static_cast<size_t>(to - from)) ||
            !rw.out.Write("\nendobj\n"))
            return Fail(job, code);
        record->type = kRecordCompressed;
        record->SetPlace(offset, 0);
        record->newOffset = offset;
    }
    return 0;
}

}  // namespace brisel
