#include "pdfread/xref_table.h"

#include <algorithm>

#include "base/platform.h"

namespace brisel {

void XrefTable::Assign(std::vector<XrefEntry> entries) {
    entries_ = std::move(entries);
    index_.clear();
    // A dense index when it costs at most a few entries per object; a file
    // with wildly scattered numbers falls back to binary search.
    int64_t highest = HighestNumber();
    if (highest >= 0 && highest < 4 * static_cast<int64_t>(entries_.size()) + 1024) {
        index_.assign(static_cast<size_t>(highest) + 1, -1);
        for (size_t i = 0; i < entries_.size(); ++i)
            index_[static_cast<size_t>(entries_[i].number)] = static_cast<int32_t>(i);
    }
    valid_ = true;
}

void XrefTable::Clear() {
    entries_.clear();
    entries_.shrink_to_fit();
    index_.clear();
    index_.shrink_to_fit();
    valid_ = false;
}

const XrefEntry* XrefTable::Find(int32_t number) const {
    if (number < 0) return nullptr;
    if (!index_.empty()) {
        if (static_cast<size_t>(number) >= index_.size()) return nullptr;
        int32_t at = index_[static_cast<size_t>(number)];
        return at < 0 ? nullptr : &entries_[static_cast<size_t>(at)];
    }
    size_t lo = 0, hi = entries_.size();
    while (lo < hi) {
        size_t mid = lo + (hi - lo) / 2;
        if (entries_[mid].number < number) lo = mid + 1;
        else hi = mid;
    }
    return lo < entries_.size() && entries_[lo].number == number ? &entries_[lo] : nullptr;
}

Result<int64_t> LookupXref(const XrefTable& table, int32_t number, int32_t generation) {
    const XrefEntry* entry = table.Find(number);
    if (!entry || entry->generation != generation) return Failure(kLookupNotListed, number, -1);
    return entry->offset;
}

Result<Cursor> LocateObject(Cursor start, Cursor end, int64_t offset, int32_t number, int32_t generation) {
    auto fail = [&](int32_t code) { return Failure(code, number, offset); };
    if (offset < 0 || offset > end - start) return fail(kLocateBeyondImage);
    Cursor cur = start + offset;
    int32_t n = 0, g = 0;
    const PartFault fault = ReadObjectHeader(cur, end, n, g);
    if (fault == PartFault::Number || n != number) return fail(kLocateWrongNumber);
    if (fault == PartFault::Generation || g != generation) return fail(kLocateWrongGeneration);
    if (fault == PartFault::End) return fail(kLocateEndBeforeObj);
    if (fault == PartFault::NoKeyword) return fail(kLocateNoObj);
    if (!SkipWhiteAndComments(cur, end)) return fail(kLocateEndAfterObj);
    return cur;
}

int64_t NearbyObject(Cursor start, Cursor end, int64_t offset, int32_t number, int32_t generation, int64_t window) {
    const int64_t size = end - start;
    if (offset < 0 || offset > size) offset = std::clamp<int64_t>(offset, 0, size);
    // Outwards from the offset, so that the nearest header wins.
    for (int64_t d = 1; d <= window; ++d) {
        for (const int64_t at : {offset - d, offset + d}) {
            if (at < 0 || at >= size || !IsDigit(start[at]) || (at > 0 && IsDigit(start[at - 1]))) continue;
            if (LocateObject(start, end, at, number, generation)) return at;
        }
    }
    return -1;
}

Result<Cursor> FindObject(const XrefTable& table, Cursor start, Cursor end, int32_t number, int32_t generation) {
    const Result<int64_t> offset = LookupXref(table, number, generation);
    if (!offset) return offset.failure();
    return LocateObject(start, end, *offset, number, generation);
}

Result<Block> LoadFile(const std::string& path, FileFault* fault) {
    Block image;
    if (!ReadWholeFile(path, image, fault) || image.size() < 20) return Failure(kLoadFailed);
    return image;
}

}  // namespace brisel
