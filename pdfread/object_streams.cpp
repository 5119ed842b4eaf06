#include "pdfread/object_streams.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "pdfread/stream_decode.h"
#include "pdfread/stream_dict.h"
#include "pdfread/token_stepper.h"
#include "pdfread/xref_stream_crypt.h"

namespace brisel {

namespace {

// Steps over white space and comments; reaching the end is no error here.
Cursor SkipToToken(Cursor p, Cursor end) {
    SkipWhiteAndComments(p, end);
    return p;
}

// The end of the one value at p: a dictionary, an array, a reference or a
// single token; null when it runs to end, where more may follow.
Cursor ValueEnd(Cursor p, Cursor end) {
    StepRules rules;
    rules.hexStrings = true;
    int depth = 0;
    Cursor at = nullptr;
    for (;;) {
        const Token token = StepToken(p, end, at, rules);
        if (token == Token::End || token == Token::Unclosed) return nullptr;
        if (token == Token::DictOpen || (token == Token::Bracket && *at == '[')) ++depth;
        if (token == Token::DictClose || (token == Token::Bracket && *at == ']')) --depth;
        if (depth <= 0) break;
    }
    if (p >= end) return nullptr;
    // "N G R" is one value.
    if (IsDigit(*at)) {
        Cursor q = p;
        if (ReadInt(q, end) && SkipWhiteAndComments(q, end) && StartsWith(q, end, "R") &&
            (q + 1 == end || IsDelimiter(q[1])))
            return q + 1 < end ? q + 1 : nullptr;
    }
    return p;
}

// How far an object stream is inflated past the start of its last object
// before that object is taken to end with its value: a stream padded with
// gigabytes after its objects (a zlib bomb) is not inflated to its end.
constexpr size_t kLastObjectRoom = 16u << 20;

}  // namespace

namespace {

Failure Unpack(const Job& job, StreamRewrite& rw, int32_t streamNumber, Cursor at) {
    const Cursor end = rw.end;
    Cursor cur = at;
    if (Result<int32_t> header = ReadStreamObjectHeader(cur, end); !header) return header.failure();
    Cursor dict = nullptr, dictEnd = nullptr;
    if (Failure f = OpenDictionary(cur, end, dict, dictEnd)) return f;
    // The repair takes what it found as an object stream whatever its /Type.
    if (!rw.adoptUnlisted) {
        if (Failure f = CheckTypeName(dict, dictEnd, "/ObjStm")) return f;
    }
    PredictorParms parms;
    const Result<int> filter = ReadFilterState(dict, dictEnd, end, &parms);
    if (!filter) return filter.failure();
    const int state = *filter;
    if (!IsDecodableState(state)) return Failure(kUnsupportedFilter);
    const Result<int32_t> firstRead = ReadRequiredInt("/First", dict, dictEnd);
    if (!firstRead) return firstRead.failure();
    const Result<int32_t> countRead = ReadRequiredInt("/N", dict, dictEnd);
    if (!countRead) return countRead.failure();
    const int32_t first = *firstRead, count = *countRead;
    Cursor data = nullptr, after = nullptr;
    size_t length = 0;
    auto resolveLength = [&](int32_t number, int32_t generation) {
        return LengthFromRecords(rw, number, generation);
    };
    if (Failure f = LocateStreamData(dict, dictEnd, end, data, length, after, resolveLength)) return f;
    Cursor p = SkipToToken(after, end);
    if (!StartsWith(p, end, "endobj")) return Failure(kRewriteNoObjStmEnd);
    rw.readPos = SkipToToken(p + 6, end);

    std::vector<uint8_t> plain;
    if (Failure f = PlainObjectStreamData(rw, streamNumber, data, length, plain)) return f;
    // Plain Flate data is inflated only as far as the objects taken from it
    // reach; a predictor needs the whole stream.
    Block decoded;
    std::optional<Inflater> inflater;
    if (state == kFilterFlate) {
        inflater.emplace(data, length, &job);
    } else if (Failure f = DecodeStreamData(job, state, parms, data, length, decoded)) {
        return f;
    }
    auto reach = [&](size_t want) {
        if (!inflater) return Failure();
        if (Failure f = inflater->Reach(want)) return InflateFailure(f);
        data = inflater->data();
        length = inflater->size();
        return Failure();
    };

    // The header: /N pairs of object number and offset from /First. Each
    // pair consumes bytes, so a hostile /N ends with the data.
    std::vector<std::pair<int32_t, int32_t>> pairs;
    auto readPairs = [&]() -> Failure {
        pairs.clear();
        const Cursor dataEnd = data + length;
        Cursor q = data;
        for (int32_t i = 0; i < count; ++i) {
            int32_t number = ReadInt(q, dataEnd).value_or(-1);
            if (number < 0) return Failure(kRewriteBadPairNumber);
            int32_t offset = ReadInt(q, dataEnd).value_or(-1);
            if (offset < 0) return Failure(kRewriteBadPairOffset);
            pairs.emplace_back(number, offset);
        }
        // A pair that ends at the end of what is inflated may go on.
        if (inflater && !inflater->Finished() && q == dataEnd) return Failure(kRewriteBadPairOffset);
        return Failure();
    };
    if (Failure f = reach(static_cast<size_t>(first) + 1)) return f;
    Failure paired = readPairs();
    if (paired && inflater && !inflater->Finished()) {
        if (Failure f = reach(SIZE_MAX)) return f;
        paired = readPairs();
    }
    if (paired) return paired;

    // Which objects are taken, and how far they reach.
    auto takes = [&](const XrefRecord* record) {
        // Only an object the records place in this stream: a newer version
        // elsewhere wins, and each object is written once. Its number finds
        // it, not the index the records give, which writers get wrong (an
        // index counted without the stream's own number in its list).
        return rw.adoptUnlisted ? record && (record->type == kRecordUnset || record->type == kRecordCompressed)
                                : record && record->type == kRecordCompressed && record->Stream() == streamNumber &&
                                      record->newOffset < 0;
    };
    auto recordOf = [&](int32_t number) {
        return rw.adoptUnlisted ? rw.trailer.Grow(number) : rw.trailer.Record(number);
    };
    Cursor lastValueEnd = nullptr;
    if (inflater) {
        size_t needed = 0;
        bool lastTaken = false;
        for (size_t i = 0; i < pairs.size(); ++i) {
            const int32_t number = pairs[i].first;
            if (number == streamNumber || !takes(recordOf(number))) continue;
            if (i + 1 == pairs.size()) {
                lastTaken = true;
                needed = std::max<size_t>(needed, static_cast<size_t>(first) + pairs[i].second + kLastObjectRoom);
            } else {
                needed = std::max<size_t>(needed, static_cast<size_t>(first) + pairs[i + 1].second);
            }
        }
        if (Failure f = reach(needed)) return f;
        if (lastTaken && !inflater->Finished()) {
            const size_t from = static_cast<size_t>(first) + pairs.back().second;
            lastValueEnd = from < length ? ValueEnd(data + from, data + length) : nullptr;
            if (!lastValueEnd) {
                if (Failure f = reach(SIZE_MAX)) return f;
            }
        }
    }

    for (size_t i = 0; i < pairs.size(); ++i) {
        const int32_t number = pairs[i].first;
        // A stream that lists its own number: that entry would replace it.
        if (number == streamNumber) continue;
        XrefRecord* record = recordOf(number);
        if (!takes(record)) continue;
        const bool last = i + 1 == pairs.size();
        const int64_t size = static_cast<int64_t>(length);
        int64_t from = static_cast<int64_t>(first) + pairs[i].second;
        int64_t to = !last        ? static_cast<int64_t>(first) + pairs[i + 1].second
                     : lastValueEnd ? lastValueEnd - data
                                    : size;
        if (from > size) from = size;
        if (to > size) to = size;
        if (to < from) to = from;
        const Failure full(last ? kRewriteSectionFull : kRewriteImageFull);
        if (!rw.out.Reserve(static_cast<size_t>(to - from) + 290)) return full;
        const int64_t offset = static_cast<int64_t>(rw.out.size());
        if (!rw.out.Print("%d 0 obj\n", number) || !rw.out.Write(data + from, static_cast<size_t>(to - from)) ||
            !rw.out.Write("\nendobj\n"))
            return full;
        record->type = kRecordCompressed;
        record->SetPlace(offset, 0);
        record->newOffset = offset;
    }
    return Failure();
}

}  // namespace

Failure UnpackObjectStream(const Job& job, StreamRewrite& rw, int32_t streamNumber, Cursor at) {
    return Unpack(job, rw, streamNumber, at).At(streamNumber, at - rw.start);
}

}  // namespace brisel
