#include "docstruct/dict_entries.h"

#include "docstruct/document_data.h"

namespace brisel {

bool NextDictEntry(Cursor& cur, Cursor close, DictEntry& entry) {
    Cursor p = cur;
    if (!SkipWhiteAndComments(p, close) || *p != '/') return false;
    entry.key = p++;
    while (p < close && !IsDelimiter(*p)) ++p;
    entry.keyEnd = p;
    if (!SkipWhiteAndComments(p, close)) return false;
    entry.value = p;
    entry.valueEnd = ValueEnd(p, close);
    if (!entry.valueEnd || entry.valueEnd <= p) return false;
    cur = entry.valueEnd;
    return true;
}

bool ValueIsName(const DictEntry& entry, const char* name) {
    const size_t n = std::strlen(name);
    return static_cast<size_t>(entry.valueEnd - entry.value) == n && std::memcmp(entry.value, name, n) == 0;
}

}  // namespace brisel
