// The one writer of classic cross-reference tables: the rewrite of
// cross-reference streams, the repair, the decryption of an input and the
// page files all write theirs with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace brisel {

// One entry line: the offset in at least ten digits, the generation in at
// least five, the type, a space and a line feed (20 bytes for every offset
// and generation a file of this program's size holds). Negative values are
// written as 0. Returns the line's length.
inline size_t FormatXrefLine(char line[32], int64_t offset, int64_t generation, char type) {
    if (offset >= 0 && offset <= 9999999999 && generation >= 0 && generation <= 99999) {
        // The usual line, filled in place: one per object of every page file.
        std::memcpy(line, "0000000000 00000 n \n", 20);
        for (int i = 9; offset; --i, offset /= 10) line[i] = static_cast<char>('0' + offset % 10);
        for (int i = 15; generation; --i, generation /= 10) line[i] = static_cast<char>('0' + generation % 10);
        line[17] = type;
        return 20;
    }
    auto put = [&](size_t at, int64_t value, int width) {
        char digits[24];
        int n = 0;
        uint64_t v = value < 0 ? 0 : static_cast<uint64_t>(value);
        do {
            digits[n++] = static_cast<char>('0' + v % 10);
            v /= 10;
        } while (v);
        while (n < width) digits[n++] = '0';
        while (n) line[at++] = digits[--n];
        return at;
    };
    size_t at = put(0, offset, 10);
    line[at++] = ' ';
    at = put(at, generation, 5);
    line[at++] = ' ';
    line[at++] = type;
    line[at++] = ' ';
    line[at++] = '\n';
    return at;
}

// Writes "xref", one subsection 0..count-1 whose entry 0 is the free head,
// and the lines entryOf(n, offset, generation, type) gives for 1..count-1,
// through append(text, length). false as soon as append fails.
template <class Append, class EntryOf>
bool WriteXrefTable(Append append, int32_t count, EntryOf entryOf) {
    const std::string head = "xref\n0 " + std::to_string(count) + "\n0000000000 65535 f \n";
    if (!append(head.data(), head.size())) return false;
    char line[32];
    for (int32_t n = 1; n < count; ++n) {
        int64_t offset = 0, generation = 0;
        char type = 'n';
        entryOf(n, offset, generation, type);
        if (!append(line, FormatXrefLine(line, offset, generation, type))) return false;
    }
    return true;
}

}  // namespace brisel
