#include "pdfread/stream_dict.h"

#include <cstring>

namespace brisel {


int ReadStreamObjectHeader(Cursor& cur, Cursor end, int32_t& number) {
    int32_t generation = 0;
    const PartFault fault = ReadObjectHeader(cur, end, number, generation);
    if (fault == PartFault::Number || number < 1) return kStreamNoNumber;
    if (fault == PartFault::Generation) return kStreamNoGeneration;
    if (fault == PartFault::End) return kStreamHeaderEnd;
    // At least 16 bytes from "obj" on: room for a dictionary and a stream.
    const Cursor keyword = fault == PartFault::None ? cur - 3 : cur;
    if (end - keyword < 16) return kStreamHeaderNoRoom;
    if (fault == PartFault::NoKeyword) return kStreamNoObj;
    return 0;
}

int OpenDictionary(Cursor cur, Cursor end, Cursor& dict, Cursor& dictEnd) {
    if (!SkipSpace(cur, end)) return kStreamDictEnd;
    if (end - cur < 5) return kStreamDictNoRoom;
    if (!StartsWith(cur, end, "<<")) return kStreamNotDict;
    dict = cur + 2;
    dictEnd = FindDictEnd(dict, end);
    if (!dictEnd) return kStreamDictNotClosed;
    return 0;
}

int CheckTypeName(Cursor dict, Cursor dictEnd, const char* name) {
    Cursor key = FindKey("/Type", dict, dictEnd);
    if (!key) return 0;
    Cursor p = key + 5;
    if (!SkipWhiteAndComments(p, dictEnd)) return kStreamTypeEnd;
    if (!StartsWith(p, dictEnd, name)) return kStreamWrongType;
    p += std::strlen(name);
    if (p < dictEnd && !IsNumberTerminator(*p)) return kStreamTypeGlued;
    return 0;
}

int ReadRequiredInt(const char* key, Cursor dict, Cursor dictEnd, int32_t& value) {
    Cursor at = FindKey(key, dict, dictEnd);
    if (!at) return kStreamKeyMissing;
    Cursor p = at + std::strlen(key);
    if (!SkipSpace(p, dictEnd)) return kStreamKeyNoValue;
    value = ReadInt(p, dictEnd).value_or(-1);
    if (value < 0) return kStreamKeyNotNumber;
    return 0;
}

}  // namespace brisel
