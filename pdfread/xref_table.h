// The XrefTable: one entry per object number in ascending order, as the
// cross-reference sections of the file give them (newest wins), with O(1)
// lookup by number.
#pragma once

#include <cstdint>
#include <vector>

#include "base/block.h"
#include "base/job.h"
#include "pdfread/lexer.h"

namespace brisel {

struct XrefEntry {
    int32_t number;
    int32_t offset;
    int32_t generation;
    char type;  // 'n' in use, 'f' free
};

class XrefTable {
public:
    // Takes entries sorted by number, each number once.
    void Assign(std::vector<XrefEntry> entries);
    void Clear();
    bool valid() const { return valid_; }
    const std::vector<XrefEntry>& entries() const { return entries_; }
    size_t size() const { return entries_.size(); }
    // The entry of an object number, or null.
    const XrefEntry* Find(int32_t number) const;
    // The highest object number listed, or -1 for an empty table.
    int32_t HighestNumber() const { return entries_.empty() ? -1 : entries_.back().number; }

private:
    std::vector<XrefEntry> entries_;
    std::vector<int32_t> index_;  // number -> position, when the numbers are dense enough
    bool valid_ = false;
};

// The offset of the object with this number and generation (its type is not
// examined), or a negative code (-95 when absent).
int32_t LookupXref(Job& job, const XrefTable& table, int32_t number, int32_t generation);

// Checks the "N G obj" header at the offset and returns the first token of the
// body, or null (-96 .. -101).
Cursor LocateObject(Job& job, Cursor start, Cursor end, int64_t offset, int32_t number, int32_t generation);

// LookupXref followed by LocateObject; null when either fails.
Cursor FindObject(Job& job, const XrefTable& table, Cursor start, Cursor end, int32_t number, int32_t generation);

// Reads a whole file into a new PdfImage; refuses files shorter than 20 bytes
// and files whose offsets would not fit 32 bits. Empty block and -1 on failure.
Block LoadFile(Job& job, const std::string& path);

}  // namespace brisel
