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

struct Widths {
    int32_t w[3] = {0, 0, 0};
};

constexpr int32_t kMaxFieldWidth = 8;

Failure ReadWidths(Cursor dict, Cursor dictEnd, Widths& widths) {
    Cursor key = FindKey("/W", dict, dictEnd);
    if (!key) return Failure(kStreamsNoW);
    Cursor p = key + 2;
    if (!SkipWhiteAndComments(p, dictEnd)) return Failure(kStreamsEndAfterW);
    if (*p != '[') return Failure(kStreamsWNotArray);
    ++p;
    // A width of 0 leaves its field out: the type is then 1 (in the file),
    // the other fields 0. No field is wider than 8 bytes: a wider one is
    // damage, and the bound keeps the row width far from any overflow.
    const int codes[3] = {kStreamsBadW1, kStreamsBadW2, kStreamsBadW3};
    for (int i = 0; i < 3; ++i) {
        widths.w[i] = ReadInt(p, dictEnd).value_or(-1);
        if (widths.w[i] < 0 || widths.w[i] > kMaxFieldWidth) return Failure(codes[i]);
    }
    if (widths.w[0] + widths.w[1] + widths.w[2] == 0) return Failure(kStreamsNoW);
    return Failure();
}

// The (first, count) pairs of /Index; hasIndex false without /Index.
using IndexPairs = std::vector<std::pair<int64_t, int64_t>>;

Failure ReadIndex(Cursor dict, Cursor dictEnd, bool& hasIndex, IndexPairs& pairs) {
    Cursor key = FindKey("/Index", dict, dictEnd);
    hasIndex = key != nullptr;
    if (!key) return Failure();
    Cursor p = key + 6;
    if (!SkipWhiteAndComments(p, dictEnd)) return Failure(kStreamsEndAfterIndex);
    if (*p != '[') return Failure(kStreamsIndexNotArray);
    ++p;
    for (;;) {
        if (!SkipWhiteAndComments(p, dictEnd)) return Failure(kStreamsBadIndexFirst);
        if (*p == ']') return Failure();
        int32_t first = ReadInt(p, dictEnd).value_or(-1);
        if (first < 0) return Failure(kStreamsBadIndexFirst);
        int32_t count = ReadInt(p, dictEnd).value_or(-1);
        if (count < 0) return Failure(kStreamsBadIndexCount);
        pairs.emplace_back(first, count);
    }
}

// An unsigned big-endian field, saturated at highest (offsets pass 32 bits,
// generations and indexes do not).
int64_t BigEndian(const uint8_t* p, int32_t width, int64_t highest) {
    uint64_t value = 0;
    for (int32_t i = 0; i < width; ++i) {
        if (value > static_cast<uint64_t>(highest) >> 8) return highest;
        value = value << 8 | p[i];
    }
    return value > static_cast<uint64_t>(highest) ? highest : static_cast<int64_t>(value);
}

// Gives each row of the decoded stream to its object number. Rows beyond the
// numbers listed, and numbers outside the records, are ignored.
void ApplyRows(StreamTrailer& trailer, const uint8_t* data, size_t length, const Widths& widths, bool hasIndex,
               const IndexPairs& pairs) {
    const int32_t* w = widths.w;
    const int64_t rowWidth = static_cast<int64_t>(w[0]) + w[1] + w[2];
    if (rowWidth > static_cast<int64_t>(length)) return;
    const size_t rows = length / static_cast<size_t>(rowWidth);
    size_t row = 0;
    auto apply = [&](int64_t number) {
        const uint8_t* p = data + row++ * static_cast<size_t>(rowWidth);
        XrefRecord* record = trailer.Grow(number);
        if (!record || record->type != kRecordUnset) return;
        const uint8_t type = w[0] ? p[w[0] - 1] : static_cast<uint8_t>(kRecordInFile);
        // A hybrid file's classic table is looked at first: a free row does
        // not take away an object it lists in use.
        if (type == kRecordFree && HasClassicOffset(*record)) return;
        record->type = type;
        record->SetRowFields(BigEndian(p + w[0], w[1], kMaxLong),
                             w[2] ? static_cast<int32_t>(BigEndian(p + w[0] + w[1], w[2], INT32_MAX)) : 0);
        record->newOffset = -1;
    };
    if (!hasIndex) {
        // Without /Index the rows are numbered from 0, all of them: a /Size
        // that counts fewer (a writer that counted its entries) loses none.
        // apply takes one row each time.
        int64_t n = 0;
        while (row < rows) apply(n++);
        return;
    }
    for (const auto& [first, count] : pairs)
        for (int64_t k = 0; k < count && row < rows; ++k) apply(first + k);
}

// One cross-reference stream at cur; prev gets its /Prev or -1. A failure
// after the header names the stream's object.
Failure ReadOneStream(const Job& job, Cursor cur, Cursor end, StreamTrailer& trailer, ReaderRecord& reader,
                      int64_t& prev) {
    const Result<int32_t> number = ReadStreamObjectHeader(cur, end);
    if (!number) return number.failure();
    const auto failed = [&](Failure f) { return f.At(*number, -1); };
    Cursor dict = nullptr, dictEnd = nullptr;
    if (Failure f = ReadStreamTrailer(cur, end, trailer, reader, dict, dictEnd)) return failed(f);
    if (Failure f = CheckTypeName(dict, dictEnd, "/XRef")) return failed(f);
    Widths widths;
    if (Failure f = ReadWidths(dict, dictEnd, widths)) return failed(f);
    bool hasIndex = false;
    IndexPairs pairs;
    if (Failure f = ReadIndex(dict, dictEnd, hasIndex, pairs)) return failed(f);
    prev = -1;
    if (Cursor key = FindKey("/Prev", dict, dictEnd)) {
        Cursor p = key + 5;
        prev = ReadLong(p, dictEnd).value_or(-1);
        if (prev < 1) return failed(Failure(kStreamsBadPrev));
    }

    PredictorParms parms;
    const Result<int> state = ReadFilterState(dict, dictEnd, end, &parms);
    if (!state) return failed(state.failure());
    if (!IsDecodableState(*state)) return failed(Failure(kUnsupportedFilter));
    Cursor data = nullptr, after = nullptr;
    size_t length = 0;
    if (Failure f = LocateStreamData(dict, dictEnd, end, data, length, after)) return failed(f);
    Block decoded;
    if (Failure f = DecodeStreamData(job, *state, parms, data, length, decoded)) return failed(f);
    ApplyRows(trailer, data, length, widths, hasIndex, pairs);
    return Failure();
}

// A classic section at cur (just after "xref") met in a chain that also
// holds streams. Its trailer is read like a stream dictionary (an encrypted
// newest one ends the pass with kStreamsEncrypted, as for a hybrid file); its entries
// go into the records not yet set, in use as objects in the file, free as
// free, except that a hybrid section's free entries are left for its
// stream to fill. An entry that cannot be read ends the entries, keeping
// those before it. prev and stream get /Prev and /XRefStm, or -1.
Failure ReadClassicSection(Cursor cur, Cursor end, bool newest, StreamTrailer& trailer, ReaderRecord& reader,
                           int64_t& prev, int64_t& stream) {
    struct Entry {
        int64_t number;
        int64_t offset;
        int32_t generation;
        bool inUse;
    };
    std::vector<Entry> entries;
    for (bool more = true; more;) {
        Cursor header = cur;
        const int32_t first = ReadInt(cur, end).value_or(-1);
        const int32_t count = first >= 0 ? ReadInt(cur, end).value_or(-1) : -1;
        if (count < 0) {
            cur = header;
            break;
        }
        for (int32_t i = 0; i < count; ++i) {
            const int64_t offset = ReadLong(cur, end).value_or(-1);
            const int32_t generation = offset >= 0 ? ReadInt(cur, end).value_or(-1) : -1;
            if (generation < 0 || !SkipWhiteAndComments(cur, end) || (*cur != 'n' && *cur != 'f')) {
                more = false;
                break;
            }
            entries.push_back({int64_t{first} + i, offset, generation, *cur == 'n'});
            ++cur;
        }
    }
    Cursor at = FindFirst(cur, end, "trailer");
    if (!at) return Failure(kStreamsNoTrailer);
    Cursor dict = nullptr, dictEnd = nullptr;
    if (Failure f = ReadStreamTrailer(at + 7, end, trailer, reader, dict, dictEnd)) return f;
    if (newest && trailer.encryptKey) return Failure(kStreamsEncrypted);
    prev = stream = -1;
    if (Cursor key = FindKey("/Prev", dict, dictEnd)) {
        Cursor p = key + 5;
        prev = ReadLong(p, dictEnd).value_or(-1);
    }
    if (Cursor key = FindKey("/XRefStm", dict, dictEnd)) {
        Cursor p = key + 8;
        stream = ReadLong(p, dictEnd).value_or(-1);
    }
    for (const Entry& e : entries) {
        XrefRecord* record = trailer.Grow(e.number);
        if (!record || record->type != kRecordUnset) continue;
        if (e.inUse) {
            record->type = kRecordInFile;
            record->SetPlace(e.offset, e.generation);
            record->newOffset = -1;
        } else if (stream < 0) {
            record->type = kRecordFree;
        }
    }
    return Failure();
}

// Whether a cross-reference section begins at cur: "xref", or an object
// header.
bool StartsSection(Cursor cur, Cursor end) {
    if (StartsWith(cur, end, "xref")) return true;
    Cursor p = cur;
    const bool header = ReadInt(p, end) && ReadInt(p, end) && SkipWhiteAndComments(p, end) &&
                        StartsWith(p, end, "obj");
    return header;
}

// The offset of the header of the last cross-reference stream in the file:
// the object that holds the last /XRef name. -1 when there is none.
int64_t LastXrefStream(Cursor start, Cursor end) {
    // A few names at most: /XRef inside /XRefStm does not count.
    Cursor limit = end;
    Cursor name = nullptr;
    for (int tries = 0; tries < 16 && !name; ++tries) {
        Cursor at = FindLast(start, limit, "/XRef");
        if (!at) return -1;
        if (at + 5 == end || IsDelimiter(at[5])) name = at;
        limit = at + 4;
    }
    if (!name) return -1;
    // Its dictionary is small: the header stands within a few kilobytes.
    Cursor from = name - start > 4096 ? name - 4096 : start;
    int64_t last = -1;
    for (;;) {
        Cursor header = nullptr;
        if (FindObjectHeader(from, end, header) != 0 || header >= name) break;
        last = header - start;
        Cursor p = header;
        static_cast<void>(ReadInt(p, end));
        static_cast<void>(ReadInt(p, end));
        SkipWhiteAndComments(p, end);
        from = p + 3;
    }
    return last;
}

}  // namespace

Failure ReadStreamTrailer(Cursor cur, Cursor end, StreamTrailer& trailer, ReaderRecord& reader, Cursor& dict,
                          Cursor& dictEnd) {
    if (Failure f = OpenDictionary(cur, end, dict, dictEnd)) return f;
    if (Cursor key = FindKey("/Encrypt", dict, dictEnd); key && !trailer.encryptKey) trailer.encryptKey = key;
    if (Cursor key = FindKey("/Size", dict, dictEnd); key && !trailer.sizeRead) {
        Cursor p = key + 5;
        int32_t size = ReadInt(p, dictEnd).value_or(-1);
        trailer.sizeRead = true;
        trailer.size = size < 1 ? 0 : size;
        if (trailer.size > kMaxListedObjects) return Failure(kStreamsTooManyObjects);
    }
    int32_t number = 0, generation = 0;
    if (Cursor key = FindKey("/Root", dict, dictEnd);
        key && trailer.rootNumber == 0 && ReadNumberPair(key + 5, dictEnd, number, generation)) {
        trailer.rootNumber = number;
        trailer.rootGeneration = generation;
    }
    if (Cursor key = FindKey("/Info", dict, dictEnd);
        key && trailer.infoNumber == 0 && ReadNumberPair(key + 5, dictEnd, number, generation)) {
        trailer.infoNumber = number;
        trailer.infoGeneration = generation;
    }
    if (Cursor key = FindKey("/ID", dict, dictEnd)) ReadFileId(key + 3, end, reader);
    return Failure();
}

Failure ReadXrefStreams(const Job& job, Cursor start, Cursor end, const XrefTable& /*table*/, StreamTrailer& trailer,
                        ReaderRecord& reader) {
    if (end - start < 6) return Failure(kStreamsTooShort);
    // Where startxref leads; when it leads to no section (or the file ends
    // without one), the last cross-reference stream in the file starts the
    // chain, as the repair of readers finds it.
    int located = 0;
    int64_t offset = -1;
    Cursor cur = nullptr;
    if (!FindLast(start, end, "%%EOF")) {
        located = kStreamsNoEof;
    } else if (end - start < 11) {
        located = kStreamsNoRoomForStartxref;
    } else if (!(cur = FindLast(start, end, "startxref"))) {
        located = kStreamsNoStartxref;
    } else {
        cur += 9;
        const Result<int64_t> read = ReadLong(cur, end);
        offset = read.value_or(-1);
        if (!read) located = read.code();
        else if (offset > end - start) located = kStreamsBadOffset;
    }
    if (located == 0) {
        cur = start + offset;
        if (!SkipSpace(cur, end)) located = kStreamsBadOffset;
    }
    if (located != 0 || !StartsSection(cur, end)) {
        const int64_t found = LastXrefStream(start, end);
        if (found >= 0) offset = found;
        else if (located != 0) return Failure(located);
    }

    // The /Prev chain, whatever the form of each section: a classic update
    // appended to a file of streams, a stream update over a classic file,
    // and the classic section of a hybrid file with the stream its
    // /XRefStm names, which is read before the older sections.
    std::unordered_set<int64_t> visited;
    for (int64_t next = offset; next >= 0;) {
        const bool newest = visited.empty();
        // A chain that loops ends; objects it left out make the analysis
        // fail, and the repair finds them.
        if (!visited.insert(next).second) break;
        const Failure badOffset(newest ? kStreamsBadOffset : kStreamsBadOlderOffset, -1, next);
        if (next > end - start) return badOffset;
        cur = start + next;
        if (!SkipSpace(cur, end)) return badOffset;
        int64_t prev = -1;
        if (!StartsWith(cur, end, "xref")) {
            if (Failure f = ReadOneStream(job, cur, end, trailer, reader, prev)) return f.At(-1, next);
            next = prev;
            continue;
        }
        int64_t stream = -1;
        if (Failure f = ReadClassicSection(cur + 4, end, newest, trailer, reader, prev, stream)) return f.At(-1, next);
        if (stream >= 0 && visited.insert(stream).second) {
            const Failure badStream(kStreamsBadXRefStm, -1, stream);
            if (stream > end - start) return badStream;
            cur = start + stream;
            if (!SkipSpace(cur, end)) return badStream;
            int64_t ignored = -1;
            if (Failure f = ReadOneStream(job, cur, end, trailer, reader, ignored)) return f.At(-1, stream);
        }
        next = prev;
    }
    return Failure();
}

}  // namespace brisel
