#include "pdfread/stream_dict.h"

#include <cstring>

namespace brisel {


int ReadStreamObjectHeader(Job& job, Cursor& cur, Cursor end, int32_t& number) {
    int32_t generation = 0;
    const PartFault fault = ReadObjectHeader(cur, end, number, generation);
    if (fault == PartFault::Number || number < 1) return Fail(job, kStreamNoNumber);
    if (fault == PartFault::Generation) return Fail(job, kStreamNoGeneration);
    if (fault == PartFault::End) return Fail(job, kStreamHeaderEnd);
    // At least 16 bytes from "obj" on: room for a dictionary and a stream.
    const Cursor keyword = fault == PartFault::None ? cur - 3 : cur;
    if (end - keyword < 16) return Fail(job, kStreamHeaderNoRoom);
    if (fault == PartFault::NoKeyword) return Fail(job, kStreamNoObj);
    job.LastError = 0;
    return 0;
}

int OpenDictionary(Job& job, Cursor cur, Cursor end, Cursor& dict, Cursor& dictEnd) {
    job.LastError = 0;
    if (!SkipSpace(cur, end)) return Fail(job, kStreamDictEnd);
    if (end - cur < 5) return Fail(job, kStreamDictNoRoom);
    if (!StartsWith(cur, end, "<<")) return Fail(job, kStreamNotDict);
    dict = cur + 2;
    dictEnd = FindDictEnd(dict, end);
    if (!dictEnd) return Fail(job, kStreamDictNotClosed);
    return 0;
}

int CheckTypeName(Job& job, Cursor dict, Cursor dictEnd, const char* name) {
    Cursor key = FindKey("/Type", dict, dictEnd);
    if (!key) return 0;
    Cursor p = key + 5;
    if (!SkipWhiteAndComments(p, dictEnd)) return Fail(job, kStreamTypeEnd);
    if (!StartsWith(p, dictEnd, name)) return Fail(job, kStreamWrongType);
    p += std::strlen(name);
    if (p < dictEnd && !IsNumberTerminator(*p)) return Fail(job, kStreamTypeGlued);
    return 0;
}

int ReadRequiredInt(Job& job, const char* key, Cursor dict, Cursor dictEnd, int32_t& value) {
    Cursor at = FindKey(key, dict, dictEnd);
    if (!at) return Fail(job, kStreamKeyMissing);
    Cursor p = at + std::strlen(key);
    job.LastError = 0;
    if (!SkipSpace(p, dictEnd)) return Fail(job, kStreamKeyNoValue);
    value = ReadInt(p, dictEnd).value_or(-1);
    if (value < 0) return Fail(job, kStreamKeyNotNumber);
    return 0;
}

}  // namespace brisel
