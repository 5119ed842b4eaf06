// The XrefTable: one entry per object number in ascending order, as the
// cross-reference sections of the file give them (newest wins), with O(1)
// lookup by number.
#pragma once

#include <cstdint>
#include <vector>

#include "base/block.h"
#include "base/failure.h"
#include "base/job.h"
#include "base/platform.h"
#include "pdfread/lexer.h"

namespace brisel {

struct XrefEntry {
    int32_t number;
    int64_t offset;  // 64-bit: inputs over 2 GiB
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

// LookupXref's code.
enum LookupCode : int32_t { kLookupNotListed = -95 };

// The offset of the object with this number and generation (its type is not
// examined), or kLookupNotListed.
Result<int64_t> LookupXref(const XrefTable& table, int32_t number, int32_t generation);

// LocateObject's codes.
enum LocateCode : int32_t {
    kLocateBeyondImage = -96,
    kLocateWrongNumber = -97,
    kLocateWrongGeneration = -98,
    kLocateEndBeforeObj = -99,
    kLocateNoObj = -100,
    kLocateEndAfterObj = -101,
};

// Checks the "N G obj" header at the offset and returns the first token of the
// body, or a Locate failure at that object and offset.
Result<Cursor> LocateObject(Cursor start, Cursor end, int64_t offset, int32_t number, int32_t generation);

// The offset of the header "number generation obj" nearest to offset within
// window bytes either side, or -1: an entry that points a few bytes off
// (a writer that counted a line end wrong, an edit that shifted the bytes).
int64_t NearbyObject(Cursor start, Cursor end, int64_t offset, int32_t number, int32_t generation, int64_t window);

// LookupXref followed by LocateObject, with the failure of either.
Result<Cursor> FindObject(const XrefTable& table, Cursor start, Cursor end, int32_t number, int32_t generation);

// LoadFile's code for every failure.
enum LoadCode : int32_t { kLoadFailed = -1 };

// Reads a whole file into a new PdfImage; refuses files shorter than 20 bytes
// (kLoadFailed). Why the file could not be read goes to fault.
Result<Block> LoadFile(const std::string& path, FileFault* fault);

}  // namespace brisel
