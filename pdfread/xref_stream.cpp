#include "pdfread/xref_stream.h"

#include <algorithm>
#include <new>
#include <vector>

#include "pdfread/classic_section.h"
#include "pdfread/object_streams.h"
#include "pdfread/read_xref_streams.h"
#include "pdfread/xref_records.h"
#include "pdfread/xref_stream_crypt.h"

namespace brisel {

namespace {

// Marks the object streams that hold compressed objects and returns them in
// file order. Also lists every object that stands in the file, in file order,
// for the copy; each gets its new offset when its bytes are carried over.
std::vector<int32_t> ListObjectStreams(StreamRewrite& rw) {
    std::vector<XrefRecord>& records = rw.trailer.records;
    const int32_t size = std::min<int32_t>(rw.trailer.size, static_cast<int32_t>(records.size()));
    for (int32_t n = 0; n < size; ++n) records[n].holdsObjects = false;
    for (int32_t n = 0; n < size; ++n) {
        const XrefRecord& r = records[n];
        if (r.type == kRecordCompressed && r.field2 >= 0 && r.field2 < size) records[r.field2].holdsObjects = true;
    }
    std::vector<int32_t> streams;
    for (int32_t n = 0; n < size; ++n) {
        XrefRecord& r = records[n];
        // Compressed objects get their offset when they are unpacked; every
        // other object gets it when its bytes are copied (or keeps none).
        r.newOffset = r.type == kRecordCompressed ? -1 : 0;
        if (!StandsInFile(r)) continue;
        rw.inFileOrder.push_back(n);
        if (r.holdsObjects) streams.push_back(n);
    }
    auto byOffset = [&](int32_t a, int32_t b) { return records[a].field2 < records[b].field2; };
    std::sort(rw.inFileOrder.begin(), rw.inFileOrder.end(), byOffset);
    std::sort(streams.begin(), streams.end(), byOffset);
    return streams;
}

// Section entries: in-file objects at their new offset, unpacked objects at
// theirs with generation 0, compressed objects that were never unpacked as
// 0 0, anything else with the numbers it holds.
void FinishRecords(StreamRewrite& rw) {
    std::vector<XrefRecord>& records = rw.trailer.records;
    for (int32_t n : rw.inFileOrder) records[n].field2 = records[n].newOffset;
    for (XrefRecord& r : records) {
        if (r.type == kRecordCompressed && r.newOffset < 0) r.field2 = r.field3 = 0;
    }
}

int Normalise(Job& job, Block& image, const XrefTable& table, ReaderRecord& reader, StreamDecryption* decryption) {
    StreamRewrite rw(image.data(), image.data() + image.size(), reader);
    rw.decryption = decryption;
    rw.trailer.sizeLimit = ObjectNumberLimit(image.size());
    if (int r = ReadXrefStreams(job, rw.start, rw.end, table, rw.trailer, reader)) return r;
    if (rw.trailer.encryptKey) {
        if (int r = OpenEncryptedStreams(job, rw)) return r;
    }

    std::vector<int32_t> streams;
    try {
        streams = ListObjectStreams(rw);
    } catch (const std::bad_alloc&) {
        return Fail(job, -51);
    }
    if (!rw.out.Init(std::min<size_t>(2 * image.size(), ImageBuffer::kMaxImage))) return Fail(job, -52);

    // Object streams in file order: the input up to each is carried over,
    // its objects are written in its place and its own object is dropped.
    std::vector<XrefRecord>& records = rw.trailer.records;
    for (int32_t n : streams) {
        if (job.Stopped()) return job.StopCode;
        XrefRecord& stream = records[n];
        // One that overlaps the stream before it, or lies beyond the image,
        // stays in place as an ordinary object.
        if (stream.field2 >= rw.end - rw.start || stream.field2 < rw.readPos - rw.start) {
            stream.holdsObjects = false;
            continue;
        }
        const Cursor at = rw.start + stream.field2;
        if (int r = CopyInputUpTo(job, rw, at)) return r;
        if (int r = UnpackObjectStream(job, rw, n, at)) return r;
        stream.field2 = 0;
        stream.newOffset = 0;
    }
    if (int r = CopyInputUpTo(job, rw, rw.end)) return r;
    FinishRecords(rw);

    auto entryOf = [&](int32_t n, int32_t& offset, int32_t& generation) {
        if (static_cast<size_t>(n) < records.size()) {
            offset = records[n].field2;
            generation = records[n].field3;
        }
    };
    const StreamTrailer& t = rw.trailer;
    if (!WriteClassicSection(rw.out, t.size, t.rootNumber, t.rootGeneration, entryOf)) return Fail(job, -54);
    if (!rw.out.Finish(image)) return Fail(job, -54);
    // The classic trailer's key position belonged to the image just released.
    reader.encryptKey = ReaderRecord::kNone;
    return 0;
}

}  // namespace

int NormaliseXrefStreams(Job& job, Block& image, const XrefTable& table, ReaderRecord& reader,
                         StreamDecryption* decryption) {
    try {
        return Normalise(job, image, table, reader, decryption);
    } catch (const std::bad_alloc&) {
        return Fail(job, -51);
    }
}

}  // namespace brisel
