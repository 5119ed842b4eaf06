#include "pdfread/xref_stream.h"

#include <algorithm>
#include <new>
#include <utility>
#include <vector>

#include "pdfread/classic_section.h"
#include "pdfread/lost_encryption.h"
#include "pdfread/object_streams.h"
#include "pdfread/read_xref.h"
#include "pdfread/read_xref_streams.h"
#include "pdfread/repair.h"
#include "pdfread/stream_decode.h"
#include "pdfread/xref_records.h"
#include "pdfread/xref_stream_crypt.h"

namespace brisel {

namespace {

// Marks the object streams that hold compressed objects (unless the marks
// are given) and returns them in file order. Also lists every object that
// stands in the file, in file order, for the copy; each gets its new
// offset when its bytes are carried over.
std::vector<int32_t> ListObjectStreams(StreamRewrite& rw, bool marksGiven) {
    std::vector<XrefRecord>& records = rw.trailer.records;
    const int32_t size = static_cast<int32_t>(records.size());  // at most kMaxListedObjects
    if (!marksGiven) {
        for (int32_t n = 0; n < size; ++n) records[n].holdsObjects = false;
        for (int32_t n = 0; n < size; ++n) {
            const XrefRecord& r = records[n];
            if (r.type == kRecordCompressed && r.Stream() >= 0 && r.Stream() < size)
                records[r.Stream()].holdsObjects = true;
        }
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
    auto byOffset = [&](int32_t a, int32_t b) { return records[a].Offset() < records[b].Offset(); };
    std::sort(rw.inFileOrder.begin(), rw.inFileOrder.end(), byOffset);
    std::sort(streams.begin(), streams.end(), byOffset);
    return streams;
}

// Section entries: in-file objects at their new offset, unpacked objects at
// theirs with generation 0, compressed objects that were never unpacked as
// 0 0, anything else with the numbers it holds.
void FinishRecords(StreamRewrite& rw) {
    std::vector<XrefRecord>& records = rw.trailer.records;
    for (int32_t n : rw.inFileOrder) records[n].MoveTo(records[n].newOffset);
    for (XrefRecord& r : records) {
        if (r.type == kRecordCompressed && r.newOffset < 0) r.SetPlace(0, 0);
    }
}

// Whether an object stream's failure to unpack is damage of that stream
// alone, as opposed to the run's limits.
bool IsLocalObjectStreamFault(const Job& job, Failure failure) {
    if (job.Stopped() || failure.code == job.StopCode) return false;
    switch (failure.code) {
        case kRewriteNoMemory:
        case kRewriteImageFull:
        case kRewriteSectionFull:
        case kInflateNoMemory:
        case kInflateNoMoreMemory:
        case kInflateTooLarge:
            return false;
        default:
            return true;
    }
}

// The new image from the records: the input carried over with its object
// streams unpacked in place, then the classic section and trailer.
Failure WriteRewrite(Job& job, Block& image, StreamRewrite& rw, bool marksGiven) {
    std::vector<int32_t> streams;
    try {
        streams = ListObjectStreams(rw, marksGiven);
    } catch (const std::bad_alloc&) {
        return Failure(kRewriteNoMemory);
    }
    // Room for the unpacked objects: twice a small input, a large one plus
    // 256 MB (the buffer grows when that is not enough), so that a large
    // input does not ask for twice its size at once.
    const size_t room = image.size() + std::min(image.size(), size_t{256} << 20);
    if (!rw.out.Init(std::min(room, ImageBuffer::kMaxImage))) return Failure(kRewriteNoImage);

    // Object streams in file order: the input up to each is carried over,
    // its objects are written in its place and its own object is dropped.
    std::vector<XrefRecord>& records = rw.trailer.records;
    for (int32_t n : streams) {
        if (job.Stopped()) return Failure(job.StopCode);
        XrefRecord& stream = records[n];  // until an unpacking grows the records
        // One that overlaps the stream before it, lies beyond the image, or
        // whose entry points at no header of it, stays in place as an
        // ordinary object; the objects it was to hold are missing, and the
        // classic reading lists them free.
        if (stream.Offset() >= rw.end - rw.start || stream.Offset() < rw.readPos - rw.start ||
            !LocateObject(rw.start, rw.end, stream.Offset(), n, stream.Generation())) {
            stream.holdsObjects = false;
            continue;
        }
        const Cursor at = rw.start + stream.Offset();
        if (Failure f = CopyInputUpTo(job, rw, at)) return f;
        const size_t written = rw.out.size();
        if (Failure f = UnpackObjectStream(job, rw, n, at)) {
            // A stream that cannot be read costs only the objects it holds:
            // they stay missing, and only a page that needs one of them is
            // reported. Running out of room or memory, a stream that
            // inflates beyond the limit and a stop end the run.
            if (!IsLocalObjectStreamFault(job, f) || rw.out.size() != written) return f;
            records[n].holdsObjects = false;
            // Left in place as an ordinary object when the read stopped
            // before its end.
            if (rw.readPos <= at) continue;
        }
        records[n].MoveTo(0);
        records[n].newOffset = 0;
    }
    if (Failure f = CopyInputUpTo(job, rw, rw.end)) return f;
    FinishRecords(rw);

    // Objects that stand in the new image are in use; numbers the input
    // lists free stay free; object streams unpacked, objects never unpacked
    // (their stream is lost) and unlisted numbers are left out.
    auto entryOf = [&](int32_t n, int64_t& offset, int32_t& generation) -> char {
        if (static_cast<size_t>(n) >= records.size()) return 0;
        offset = records[n].Offset();
        generation = records[n].Generation();
        if (records[n].type == kRecordFree) return 'f';
        return offset > 0 ? 'n' : 0;
    };
    const StreamTrailer& t = rw.trailer;
    // The section ends with the highest number an entry names, wherever
    // /Size says it ends.
    size_t used = records.size();
    while (used > 1 && records[used - 1].type == kRecordUnset && records[used - 1].Offset() == 0) --used;
    const int32_t count = static_cast<int32_t>(used);
    if (!WriteClassicSection(rw.out, count, t.rootNumber, t.rootGeneration, t.infoNumber, t.infoGeneration, entryOf))
        return Failure(kRewriteSectionFull);
    if (!rw.out.Finish(image)) return Failure(kRewriteSectionFull);
    // The classic trailer's key position belonged to the image just released.
    rw.reader.encryptKey = ReaderRecord::kNone;
    return Failure();
}

Failure Normalise(Job& job, Block& image, const XrefTable& table, ReaderRecord& reader,
                  StreamDecryption* decryption) {
    StreamRewrite rw(image.data(), image.data() + image.size(), reader);
    rw.decryption = decryption;
    if (Failure f = ReadXrefStreams(job, rw.start, rw.end, table, rw.trailer, reader)) return f;
    if (rw.trailer.encryptKey) {
        if (Failure f = OpenEncryptedStreams(job, rw)) return f;
    }

    return WriteRewrite(job, image, rw, false);
}

// Whether the object at offset is an object stream: a dictionary with /N
// and /First, whatever its /Type says (writers leave it out or get it
// wrong) or whether it has one.
bool IsObjectStream(Cursor start, Cursor end, const XrefEntry& entry) {
    Cursor body = LocateObject(start, end, entry.offset, entry.number, entry.generation).value_or(nullptr);
    Cursor dictEnd = body && StartsWith(body, end, "<<") ? FindDictEnd(body + 2, end) : nullptr;
    const bool found = dictEnd && FindKey("/First", body + 2, dictEnd) && FindKey("/N", body + 2, dictEnd);
    return found;
}

// The encryption dictionary's reference in the last trailer or stream
// dictionary of the input that names one, and that dictionary's /ID when
// the reader has none yet. false for a file that names none.
bool FindEncryptReference(const Job& job, Cursor start, Cursor end, ReaderRecord& reader, int32_t& number,
                          int32_t& generation) {
    Cursor cur = end;
    // A bounded look back: the dictionaries stand at the ends of sections.
    for (int tries = 0; tries < 64 && FindBackward(start, cur, "/Encrypt", &job.StopCode); ++tries) {
        Cursor p = cur + 8;
        const bool found = p < end && IsDelimiter(*p) && ReadReferenceValue(p, end, number, generation) ==
                                                                 PartFault::None;
        if (!found) continue;
        if (reader.fileIdLength <= 0) {
            Cursor dict = cur;
            while (dict > start && !(dict[0] == '<' && dict[-1] == '<')) --dict;
            Cursor dictEnd = dict > start ? FindDictEnd(dict + 1, end) : nullptr;
            if (Cursor id = dictEnd ? FindKey("/ID", dict + 1, dictEnd) : nullptr) ReadFileId(id + 3, end, reader);
        }
        return true;
    }
    return false;
}

// RebuildWithObjectStreams into a new image, which replaces the input only
// when every step succeeded. The repair reads the input where it stands:
// a copy of it would double the memory of a large file.
Failure RebuildUnpacking(Job& job, Block& input, ReaderRecord& reader, StreamDecryption* decryption) {
    // An encrypted file: its objects are decrypted as they are carried over
    // and its object streams before they are unpacked, so that the new
    // image is plain throughout. Its dictionary is looked for first: the
    // repair gives back the input's memory as it copies it.
    int32_t encryptNumber = 0, encryptGeneration = 0;
    bool encrypted =
        decryption && FindEncryptReference(job, input.data(), input.data() + input.size(), reader, encryptNumber,
                                           encryptGeneration);
    Block image;
    if (Failure f = RebuildClassicFrom(job, input, image)) return f;
    XrefTable table;
    ReaderRecord found = reader;
    if (Failure f = ReadXref(job, image.data(), image.data() + image.size(), table, found)) return f;
    if (decryption && !encrypted) {
        // No trailer names an encryption dictionary (the file was cut before
        // its trailer): one that stands among the objects is used, and a
        // file whose key cannot be had is refused rather than copied as
        // ciphertext.
        const LostEncryption lost = FindLostEncryption(job, image.data(), image.data() + image.size(), table);
        if (job.Stopped()) return Failure(job.StopCode);
        // Keys before revision 5 are made with the file's identifier, which
        // stood in the lost trailer.
        if (lost.dictionary && lost.revision < 5 && reader.fileIdLength <= 0) return Failure(kRepairKeyLost);
        if (lost.dictionary) {
            encrypted = true;
            encryptNumber = lost.number;
            encryptGeneration = lost.generation;
        } else if (lost.cipherStreams) {
            return Failure(kRepairEncryptionLost);
        }
    }
    // Records only for a file that has object streams: they cost as much
    // as the highest number.
    bool packed = false;
    for (const XrefEntry& entry : table.entries())
        packed = packed || (entry.type == 'n' && IsObjectStream(image.data(), image.data() + image.size(), entry));
    StreamRewrite rw(image.data(), image.data() + image.size(), reader);
    rw.adoptUnlisted = true;
    packed = packed || encrypted;
    for (const XrefEntry& entry : table.entries()) {
        XrefRecord* record = packed && entry.type == 'n' ? rw.trailer.Grow(entry.number) : nullptr;
        if (!record) continue;
        record->type = kRecordInFile;
        record->SetPlace(entry.offset, entry.generation);
        record->holdsObjects = IsObjectStream(rw.start, rw.end, entry);
    }
    if (encrypted) {
        const XrefRecord* record = rw.trailer.Record(encryptNumber);
        if (!record || record->type != kRecordInFile) return Failure(kRewriteNoEncryptObject, encryptNumber, -1);
        rw.decryption = decryption;
        if (int r = decryption->Open(job, rw.start, rw.end, encryptNumber, record->Generation(), record->Offset()))
            return Failure(r, encryptNumber, record->Offset());
        rw.reader.encrypted = true;
        rw.decrypt = true;
    }
    if (packed) {
        rw.trailer.rootNumber = found.rootNumber < 0 ? 0 : found.rootNumber;
        rw.trailer.rootGeneration = found.rootGeneration;
        if (Failure f = WriteRewrite(job, image, rw, true)) return f;
        // The catalog may have been packed: the repair finds it among the
        // objects unpacked.
        if (Failure f = RebuildClassic(job, image)) return f;
    }
    input = std::move(image);
    return Failure();
}

}  // namespace

Failure RebuildWithObjectStreams(Job& job, Block& image, ReaderRecord& reader, StreamDecryption* decryption) {
    try {
        return RebuildUnpacking(job, image, reader, decryption);
    } catch (const std::bad_alloc&) {
        return Failure(kRewriteNoMemory);
    }
}

Failure NormaliseXrefStreams(Job& job, Block& image, const XrefTable& table, ReaderRecord& reader,
                             StreamDecryption* decryption) {
    try {
        return Normalise(job, image, table, reader, decryption);
    } catch (const std::bad_alloc&) {
        return Failure(kRewriteNoMemory);
    }
}

}  // namespace brisel
