#include "pdfread/xref_stream_crypt.h"

namespace brisel {

int OpenEncryptedStreams(Job& job, StreamRewrite& rw) {
    Cursor p = job.EncryptKeyPos + 8;  // past "/Encrypt"
    const int32_t number = ReadInt(job, p, rw.end);
    const XrefRecord* record = number < 0 ? nullptr : rw.trailer.Record(number);
    if (!record || record->type != kRecordInFile) {
        job.LastError = -121;
        return -121;
    }
    // Encrypted files cannot be opened yet: the pass ends as refused.
    job.ReadAborted = 1;
    job.LastError = -1;
    return -1;
}

int PlainObjectStreamData(Job&, const StreamRewrite&, int32_t, Cursor&, size_t&, Block&) {
    // Only plain files get this far: their data is used as it stands.
    return 0;
}

int CopyInputUpTo(Job& job, StreamRewrite& rw, Cursor limit) {
    if (limit <= rw.readPos) return 0;
    // The objects in the span move by the same distance as the span.
    const int64_t from = rw.readPos - rw.start;
    const int64_t to = limit - rw.start;
    const int64_t shift = static_cast<int64_t>(rw.out.size()) - from;
    std::vector<XrefRecord>& records = rw.trailer.records;
    for (; rw.inFileNext < rw.inFileOrder.size(); ++rw.inFileNext) {
        XrefRecord& r = records[static_cast<size_t>(rw.inFileOrder[rw.inFileNext])];
        if (r.field2 >= to) break;
        if (r.field2 >= from) r.newOffset = static_cast<int32_t>(r.field2 + shift);
    }
    if (!rw.out.Write(rw.readPos, static_cast<size_t>(limit - rw.readPos))) {
        job.LastError = -53;
        return -53;
    }
    rw.readPos = limit;
    return 0;
}

}  // namespace brisel
