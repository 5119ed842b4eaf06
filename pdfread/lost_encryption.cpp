#include "pdfread/lost_encryption.h"

namespace brisel {

namespace {

// Deflated streams looked at before the verdict: enough that chance (one
// random pair of bytes in about 500 passes the check) cannot decide it. A
// plain file's streams all begin with a zlib header; ciphertext does so
// only by that chance, so the verdict goes by the majority, not by a single
// stream (one in about 30 encrypted files would otherwise pass as plain).
constexpr int kStreamsSampled = 16;

bool IsZlibHeader(uint8_t cmf, uint8_t flg) { return (cmf & 0x0F) == 8 && (cmf >> 4) <= 7 && (cmf * 256 + flg) % 31 == 0; }

// The first data byte of the stream whose dictionary ends at dictEnd (on
// its ">>"), or null.
Cursor StreamData(Cursor dictEnd, Cursor end) {
    Cursor p = dictEnd + 2;
    if (!SkipWhiteAndComments(p, end) || !StartsWith(p, end, "stream")) return nullptr;
    p += 6;
    if (p < end && *p == '\r') ++p;
    if (p < end && *p == '\n') ++p;
    return p;
}

}  // namespace

LostEncryption FindLostEncryption(const Job& job, Cursor start, Cursor end, const XrefTable& table) {
    LostEncryption found;
    int sampled = 0, plain = 0;
    for (const XrefEntry& entry : table.entries()) {
        if (entry.type != 'n') continue;
        if (job.Stopped()) break;
        Cursor body = LocateObject(start, end, entry.offset, entry.number, entry.generation).value_or(nullptr);
        Cursor dictEnd = body && StartsWith(body, end, "<<") ? FindDictEnd(body + 2, end) : nullptr;
        if (!dictEnd) continue;
        Cursor filter = FindKey("/Filter", body + 2, dictEnd);
        Cursor p = filter ? filter + 7 : nullptr;
        if (p) SkipWhiteAndComments(p, dictEnd);
        if (p && StartsWith(p, dictEnd, "/Standard") && FindKey("/O", body + 2, dictEnd) &&
            FindKey("/U", body + 2, dictEnd)) {
            found.dictionary = true;
            found.number = entry.number;
            found.generation = entry.generation;
            if (Cursor r = FindKey("/R", body + 2, dictEnd)) {
                Cursor q = r + 2;
                found.revision = ReadInt(q, dictEnd).value_or(0);
            }
            return found;
        }
        if (p && sampled < kStreamsSampled && StartsWith(p, dictEnd, "/FlateDecode") && IsDelimiter(p[12])) {
            Cursor data = StreamData(dictEnd, end);
            if (data && end - data >= 2) {
                ++sampled;
                if (IsZlibHeader(data[0], data[1])) ++plain;
            }
        }
    }
    found.cipherStreams = sampled >= 2 && plain * 2 < sampled;
    return found;
}

}  // namespace brisel
