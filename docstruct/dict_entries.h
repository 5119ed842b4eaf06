// The entries of a dictionary, one key and value at a time. Unlike FindKey,
// which also matches a name that stands as a value (/S /P holds the name
// /P), this tells keys from values.
#pragma once

#include <cstring>

#include "pdfread/lexer.h"

namespace brisel {

struct DictEntry {
    Cursor key = nullptr, keyEnd = nullptr;  // the name, "/" included
    Cursor value = nullptr, valueEnd = nullptr;

    bool Is(const char* name) const {
        const size_t n = std::strlen(name);
        return static_cast<size_t>(keyEnd - key) == n && std::memcmp(key, name, n) == 0;
    }
};

// The next entry of a dictionary whose closing ">>" stands at close; cur
// starts just after its "<<". true with the entry and cur after its value;
// false at the end, or at text that is no key followed by a value.
bool NextDictEntry(Cursor& cur, Cursor close, DictEntry& entry);

// Whether the value is the name (the whole token).
bool ValueIsName(const DictEntry& entry, const char* name);

}  // namespace brisel
