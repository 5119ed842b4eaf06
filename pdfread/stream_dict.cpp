#include "pdfread/stream_dict.h"

#include <cstring>

namespace brisel {


Result<int32_t> ReadStreamObjectHeader(Cursor& cur, Cursor end) {
    int32_t number = 0, generation = 0;
    const PartFault fault = ReadObjectHeader(cur, end, number, generation);
    if (fault == PartFault::Number || number < 1) return Failure(kStreamNoNumber);
    if (fault == PartFault::Generation) return Failure(kStreamNoGeneration, number, -1);
    if (fault == PartFault::End) return Failure(kStreamHeaderEnd, number, -1);
    // At least 16 bytes from "obj" on: room for a dictionary and a stream.
    const Cursor keyword = fault == PartFault::None ? cur - 3 : cur;
    if (end - keyword < 16) return Failure(kStreamHeaderNoRoom, number, -1);
    if (fault == PartFault::NoKeyword) return Failure(kStreamNoObj, number, -1);
    return number;
}

Failure OpenDictionary(Cursor cur, Cursor end, Cursor& dict, Cursor& dictEnd) {
    if (!SkipSpace(cur, end)) return Failure(kStreamDictEnd);
    if (end - cur < 5) return Failure(kStreamDictNoRoom);
    if (!StartsWith(cur, end, "<<")) return Failure(kStreamNotDict);
    dict = cur + 2;
    dictEnd = FindDictEnd(dict, end);
    if (!dictEnd) return Failure(kStreamDictNotClosed);
    return Failure();
}

Failure CheckTypeName(Cursor dict, Cursor dictEnd, const char* name) {
    Cursor key = FindKey("/Type", dict, dictEnd);
    if (!key) return Failure();
    Cursor p = key + 5;
    if (!SkipWhiteAndComments(p, dictEnd)) return Failure(kStreamTypeEnd);
    if (!StartsWith(p, dictEnd, name)) return Failure(kStreamWrongType);
    p += std::strlen(name);
    if (p < dictEnd && !IsNumberTerminator(*p)) return Failure(kStreamTypeGlued);
    return Failure();
}

Result<int32_t> ReadRequiredInt(const char* key, Cursor dict, Cursor dictEnd) {
    Cursor at = FindKey(key, dict, dictEnd);
    if (!at) return Failure(kStreamKeyMissing);
    Cursor p = at + std::strlen(key);
    if (!SkipSpace(p, dictEnd)) return Failure(kStreamKeyNoValue);
    const int32_t value = ReadInt(p, dictEnd).value_or(-1);
    if (value < 0) return Failure(kStreamKeyNotNumber);
    return value;
}

}  // namespace brisel
