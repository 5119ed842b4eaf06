#include "pdfread/read_xref_streams.h"

#include <cstring>
#include <new>
#include <unordered_set>
#include <utility>
#include <vector>

#include "pdfread/read_xref.h"
#include "pdfread/stream_decode.h"
#include "pdfread/stream_dict.h"

namespace brisel {

namespace {

// The last occurrence of text that lies wholly in [start, end); null if none.
Cursor FindLast(Cursor start, Cursor end, const char* text) {
    const ptrdiff_t n = static_cast<ptrdiff_t>(std::strlen(text));
    for (ptrdiff_t at = (end - start) - n; at >= 0; --at)
        if (std::memcmp(start + at, text, static_cast<size_t>(n)) == 0) return start + at;
    return nullptr;
}

Cursor FindFirst(Cursor from, Cursor end, const char* text) {
    const size_t n = std::strlen(text);
    for (Cursor p = from; end - p >= static_cast<ptrdiff_t>(n); ++p) {
        p = static_cast<Cursor>(std::memchr(p, text[0], static_cast<size_t>(end - p)));
        if (!p || end - p < static_cast<ptrdiff_t>(n)) return nullptr;
        if (std::memcmp(p, text, n) == 0) return p;
    }
    return nullptr;
}

struct Widths {
    int32_t w[3] = {0, 0, 0};
};

int ReadWidths(Job& job, Cursor dict, Cursor dictEnd, Widths& widths) {
    Cursor key = FindKey(job, "/W", dict, dictEnd);
    if (!key) return Fail(job, -25);
    Cursor p = key + 2;
    if (!SkipWhiteAndComments(p, dictEnd)) return Fail(job, -22);
    if (*p != '[') return Fail(job, -23);
    ++p;
    const int codes[3] = {-24, -25, -26};
    for (int i = 0; i < 3; ++i) {
        widths.w[i] = ReadInt(job, p, dictEnd);
        if (widths.w[i] < (i < 2 ? 1 : 0)) return Fail(job, codes[i]);
    }
    return 0;
}

// The (first, count) pairs of /Index; hasIndex false without /Index.
using IndexPairs = std::vector<std::pair<int64_t, int64_t>>;

int ReadIndex(Job& job, Cursor dict, Cursor dictEnd, bool& hasIndex, IndexPairs& pairs) {
    Cursor key = FindKey(job, "/Index", dict, dictEnd);
    job.LastError = 0;
    hasIndex = key != nullptr;
    if (!key) return 0;
    Cursor p = key + 6;
    if (!SkipWhiteAndComments(p, dictEnd)) return Fail(job, -27);
    if (*p != '[') return Fail(job, -28);
    ++p;
    for (;;) {
        if (!SkipWhiteAndComments(p, dictEnd)) return Fail(job, -29);
        if (*p == ']') return 0;
        int32_t first = ReadInt(job, p, dictEnd);
        if (first < 0) return Fail(job, -29);
        int32_t count = ReadInt(job, p, dictEnd);
        if (count < 0) return Fail(job, -30);
        pairs.emplace_back(first, count);
    }
}

// An unsigned big-endian field, saturated at the 32-bit maximum.
int32_t BigEndian(const uint8_t* p, int32_t width) {
    uint64_t value = 0;
    for (int32_t i = 0; i < width; ++i) {
        value = value << 8 | p[i];
        if (value > INT32_MAX) value = INT32_MAX;
    }
    return static_cast<int32_t>(value);
}

// Gives each row of the decoded stream to its object number. Rows beyond the
// numbers listed, and numbers outside the records, are ignored.
void ApplyRows(StreamTrailer& trailer, const uint8_t* data, size_t length, const Widths& widths, bool predictor,
               bool hasIndex, const IndexPairs& pairs) {
    const int32_t* w = widths.w;
    const int64_t rowWidth = static_cast<int64_t>(w[0]) + w[1] + w[2] + (predictor ? 1 : 0);
    if (rowWidth > static_cast<int64_t>(length)) return;
    const size_t rows = length / static_cast<size_t>(rowWidth);
    size_t row = 0;
    auto apply = [&](int64_t number) {
        const uint8_t* p = data + row++ * static_cast<size_t>(rowWidth) + (predictor ? 1 : 0);
        XrefRecord* record = trailer.Record(number);
        if (!record || record->type != kRecordUnset) return;
        const uint8_t type = p[w[0] - 1];
        // A hybrid file's classic table is looked at first: a free row does
        // not take away an object it lists in use.
        if (type == kRecordFree && HasClassicOffset(*record)) return;
        record->type = type;
        record->field2 = BigEndian(p + w[0], w[1]);
        record->field3 = w[2] ? BigEndian(p + w[0] + w[1], w[2]) : 0;
        record->newOffset = -1;
    };
    if (!hasIndex) {
        for (int64_t n = 0; n < trailer.size && row < rows; ++n) apply(n);
        return;
    }
    for (const auto& [first, count] : pairs)
        for (int64_t k = 0; k < count && row < rows; ++k) apply(first + k);
}

// One cross-reference stream at cur; prev gets its /Prev or -1.
int ReadOneStream(Job& job, Cursor cur, Cursor end, StreamTrailer& trailer, ReaderRecord& reader, int64_t& prev) {
    int32_t number = 0;
    if (int r = ReadStreamObjectHeader(job, cur, end, number)) return r;
    Cursor dict = nullptr, dictEnd = nullptr;
    if (int r = ReadStreamTrailer(job, cur, end, trailer, reader, dict, dictEnd); r != 0 && r != -1000) return r;
    job.LastError = 0;
    if (int r = CheckTypeName(job, dict, dictEnd, "/XRef")) return r;
    Widths widths;
    if (int r = ReadWidths(job, dict, dictEnd, widths)) return r;
    bool hasIndex = false;
    IndexPairs pairs;
    if (int r = ReadIndex(job, dict, dictEnd, hasIndex, pairs)) return r;
    prev = -1;
    if (Cursor key = FindKey(job, "/Prev", dict, dictEnd)) {
        Cursor p = key + 5;
        prev = ReadInt(job, p, dictEnd);
        if (prev < 1) return Fail(job, -31);
    }
    job.LastError = 0;

    int state = 0;
    if (int r = ReadFilterState(job, dict, dictEnd, end, state)) return r;
    if (state != kFilterNone && state != kFilterFlate && state != 12) return Fail(job, -36);
    Cursor data = nullptr, after = nullptr;
    size_t length = 0;
    if (int r = LocateStreamData(job, dict, dictEnd, end, data, length, after)) return r;
    Block decoded;
    if (state != kFilterNone) {
        size_t decodedLength = 0;
        if (int r = InflateStream(data, length, decoded, decodedLength))
            return Fail(job, r == -37 || r == -38 ? r : -39);
        length = decodedLength;
        if (state == 12) {
            const size_t rowWidth = static_cast<size_t>(widths.w[0]) + widths.w[1] + widths.w[2] + 1;
            UndoUpPredictor(decoded.data(), length, rowWidth);
        }
        data = decoded.data();
    }
    ApplyRows(trailer, data, length, widths, state == 12, hasIndex, pairs);
    return 0;
}

}  // namespace

int ReadStreamTrailer(Job& job, Cursor cur, Cursor end, StreamTrailer& trailer, ReaderRecord& reader, Cursor& dict,
                      Cursor& dictEnd) {
    if (int r = OpenDictionary(job, cur, end, dict, dictEnd)) return r;
    if (Cursor key = FindKey(job, "/Encrypt", dict, dictEnd); key && !trailer.encryptKey) trailer.encryptKey = key;
    if (Cursor key = FindKey(job, "/Size", dict, dictEnd); key && !trailer.sizeRead) {
        Cursor p = key + 5;
        int32_t size = ReadInt(job, p, dictEnd);
        trailer.sizeRead = true;
        trailer.size = size < 1 ? 0 : size;
        if (trailer.size > trailer.sizeLimit) return Fail(job, -13);
        if (trailer.size > 0) {
            try {
                trailer.records.assign(static_cast<size_t>(trailer.size) + 2, XrefRecord{});
            } catch (const std::bad_alloc&) {
                return Fail(job, -13);
            }
        }
    }
    int32_t number = 0, generation = 0;
    if (Cursor key = FindKey(job, "/Root", dict, dictEnd);
        key && trailer.rootNumber == 0 && ReadNumberPair(job, key + 5, dictEnd, number, generation)) {
        trailer.rootNumber = number;
        trailer.rootGeneration = generation;
    }
    if (Cursor key = FindKey(job, "/Info", dict, dictEnd);
        key && trailer.infoNumber == 0 && ReadNumberPair(job, key + 5, dictEnd, number, generation)) {
        trailer.infoNumber = number;
        trailer.infoGeneration = generation;
    }
    if (Cursor key = FindKey(job, "/ID", dict, dictEnd)) ReadFileId(job, key + 3, end, reader);
    job.LastError = 0;
    return trailer.encryptKey ? -1000 : 0;
}

int ReadXrefStreams(Job& job, Cursor start, Cursor end, const XrefTable& table, StreamTrailer& trailer,
                    ReaderRecord& reader) {
    if (end - start < 6) return Fail(job, -1);
    if (!FindLast(start, end, "%%EOF")) return Fail(job, -2);
    if (end - start < 11) return Fail(job, -3);
    Cursor cur = FindLast(start, end, "startxref");
    if (!cur) return Fail(job, -4);
    cur += 9;
    int64_t offset = ReadInt(job, cur, end);
    if (offset < 0) return job.LastError;
    if (offset > end - start) return Fail(job, -5);
    cur = start + offset;
    if (SkipSpace(job, cur, end) < 0) return Fail(job, -5);

    if (StartsWith(cur, end, "xref")) {
        // A hybrid file: a classic section whose trailer names the stream.
        Cursor at = FindFirst(cur, end, "trailer");
        if (!at) return Fail(job, -6);
        Cursor dict = nullptr, dictEnd = nullptr;
        if (int r = ReadStreamTrailer(job, at + 7, end, trailer, reader, dict, dictEnd)) return Fail(job, r);
        if (!table.valid()) return Fail(job, -15);
        for (const XrefEntry& entry : table.entries()) {
            XrefRecord* record = entry.type == 'n' ? trailer.Record(entry.number) : nullptr;
            if (!record) continue;
            if (entry.offset > 0) record->field2 = entry.offset;
            record->field3 = entry.generation;
        }
        if (Cursor key = FindKey(job, "/XRefStm", dict, dictEnd)) {
            Cursor p = key + 8;
            offset = ReadInt(job, p, dictEnd);
            if (offset < 0 || offset > end - start) return Fail(job, -13);
            cur = start + offset;
        }
        job.LastError = 0;
        if (SkipSpace(job, cur, end) < 0) return Fail(job, -13);
    }

    std::unordered_set<int64_t> visited{offset};
    for (;;) {
        int64_t prev = -1;
        if (int r = ReadOneStream(job, cur, end, trailer, reader, prev)) return r;
        if (prev < 0 || !visited.insert(prev).second) break;
        if (prev > end - start) return Fail(job, -50);
        cur = start + prev;
        job.LastError = 0;
        if (SkipSpace(job, cur, end) < 0) return Fail(job, -50);
    }
    job.LastError = 0;
    return 0;
}

}  // namespace brisel
