#include "pdfread/xref_stream_crypt.h"

#include <algorithm>
#include <string>

#include "base/platform.h"
#include "pdfread/xref_table.h"

namespace brisel {

int64_t LengthFromRecords(const StreamRewrite& rw, int32_t number, int32_t generation) {
    const XrefRecord* r = rw.trailer.Record(number);
    Cursor start = rw.start, end = rw.end;
    int64_t offset = -1;
    if (r && StandsInFile(*r) && r->Generation() == generation) {
        offset = r->Offset();
    } else if (r && r->type == kRecordCompressed && r->newOffset >= 0 && generation == 0) {
        start = rw.out.data();
        end = start + rw.out.size();
        offset = r->newOffset;
    }
    Cursor body = offset < 0 ? nullptr : LocateObject(start, end, offset, number, generation).value_or(nullptr);
    const int64_t value = body ? ReadLong(body, end).value_or(-1) : -1;
    return value;
}

namespace {

Failure CopyPlain(StreamRewrite& rw, Cursor limit) {
    // The objects in the span move by the same distance as the span.
    const int64_t from = rw.readPos - rw.start;
    const int64_t to = limit - rw.start;
    const int64_t shift = static_cast<int64_t>(rw.out.size()) - from;
    std::vector<XrefRecord>& records = rw.trailer.records;
    for (; rw.inFileNext < rw.inFileOrder.size(); ++rw.inFileNext) {
        XrefRecord& r = records[static_cast<size_t>(rw.inFileOrder[rw.inFileNext])];
        if (r.Offset() >= to) break;
        if (r.Offset() >= from) r.newOffset = r.Offset() + shift;
    }
    // In steps, given back once copied: the input is not read again.
    for (Cursor p = rw.readPos; p < limit;) {
        const size_t step = std::min(kSetAsideStep, static_cast<size_t>(limit - p));
        if (!rw.out.Write(p, step)) return Failure(kRewriteImageFull);
        p += step;
        if (static_cast<size_t>(p - rw.setAside) >= kSetAsideStep) {
            SetBytesAside(rw.setAside, static_cast<size_t>(p - rw.setAside));
            rw.setAside = p;
        }
    }
    return Failure();
}

Failure CopyDecrypting(Job& job, StreamRewrite& rw, Cursor limit) {
    std::vector<XrefRecord>& records = rw.trailer.records;
    const int64_t from = rw.readPos - rw.start;
    const int64_t to = limit - rw.start;
    // The file header: everything in front of the first object.
    if (rw.inFileNext == 0 && rw.readPos == rw.start) {
        int64_t first = to;
        if (!rw.inFileOrder.empty()) first = std::clamp<int64_t>(records[rw.inFileOrder[0]].Offset(), 0, to);
        if (!rw.out.Write(rw.start, static_cast<size_t>(first))) return Failure(kRewriteImageFull);
    }
    const LengthResolver resolveLength = [&](int32_t number, int32_t generation) {
        return LengthFromRecords(rw, number, generation);
    };
    std::string text;
    for (; rw.inFileNext < rw.inFileOrder.size(); ++rw.inFileNext) {
        const int32_t number = rw.inFileOrder[rw.inFileNext];
        XrefRecord& r = records[static_cast<size_t>(number)];
        if (r.Offset() >= to) break;
        if (r.Offset() < from) continue;
        text.clear();
        bool written = false;
        if (int code = rw.decryption->CopyObject(job, rw.start, rw.end, resolveLength, number, r.Generation(), r.Offset(),
                                                 text, written))
            return Failure(code, number, r.Offset());
        if (!written) continue;
        r.newOffset = static_cast<int64_t>(rw.out.size());
        if (!rw.out.Write(text.data(), text.size())) return Failure(kRewriteImageFull);
    }
    return Failure();
}

}  // namespace

Failure OpenEncryptedStreams(Job& job, StreamRewrite& rw) {
    Cursor p = rw.trailer.encryptKey + 8;  // past "/Encrypt"
    const int32_t number = ReadInt(p, rw.end).value_or(-1);
    const XrefRecord* record = number < 0 ? nullptr : rw.trailer.Record(number);
    if (!record || record->type != kRecordInFile || !rw.decryption) return Failure(kRewriteNoEncryptObject);
    if (int r = rw.decryption->Open(job, rw.start, rw.end, number, record->Generation(), record->Offset()))
        return Failure(r, number, record->Offset());
    rw.reader.encrypted = true;
    rw.decrypt = true;
    return Failure();
}

Failure PlainObjectStreamData(const StreamRewrite& rw, int32_t streamNumber, Cursor& data, size_t& length,
                              std::vector<uint8_t>& holder) {
    if (!rw.decrypt) return Failure();
    if (rw.decryption->DecryptObjectStream(streamNumber, data, length, holder) != 0)
        return Failure(kRewriteNotDecrypted);
    data = holder.data();
    length = holder.size();
    return Failure();
}

Failure CopyInputUpTo(Job& job, StreamRewrite& rw, Cursor limit) {
    if (limit <= rw.readPos) return Failure();
    if (Failure f = rw.decrypt ? CopyDecrypting(job, rw, limit) : CopyPlain(rw, limit)) return f;
    rw.readPos = limit;
    return Failure();
}

}  // namespace brisel
