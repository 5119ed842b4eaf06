#include "pdfread/read_xref.h"

#include "pdfread/catalog.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <unordered_set>
#include <vector>

namespace brisel {

namespace {

// The entry codes of each place an entry can stand.
struct EntryCodes {
    int offset, generation, endBeforeType, badType;
};
constexpr EntryCodes kFirstSubsection{kXrefFirstOffset, kXrefFirstGeneration, kXrefFirstEndBeforeType,
                                      kXrefFirstBadType};
constexpr EntryCodes kLaterSubsection{kXrefLaterOffset, kXrefLaterGeneration, kXrefLaterEndBeforeType,
                                      kXrefLaterBadType};
constexpr EntryCodes kOlderSection{kXrefOlderOffset, kXrefOlderGeneration, kXrefOlderEndBeforeType,
                                   kXrefOlderBadType};

// How far, and for how many entries, an entry that points at no header of
// its object is looked for nearby.
constexpr int64_t kNearbyWindow = 256;
constexpr int kNearbySearches = 4096;

// Entries in reading order: newest section first and, within a section, the
// order of its subsections. The first entry read for a number wins.
using RawEntries = std::vector<XrefEntry>;

// The object number of the i-th entry of a subsection, for a failure's place.
int32_t EntryNumber(int64_t first, int64_t i) { return static_cast<int32_t>(std::min<int64_t>(first + i, INT32_MAX)); }

Failure ReadEntries(Cursor start, Cursor& cur, Cursor end, int64_t first, int32_t count, const EntryCodes& codes,
                    RawEntries& out) {
    for (int64_t i = 0; i < count; ++i) {
        int64_t offset = ReadLong(cur, end).value_or(-1);
        if (offset < 0) return Failure(codes.offset, EntryNumber(first, i), cur - start);
        int32_t generation = ReadInt(cur, end).value_or(-1);
        if (generation < 0) return Failure(codes.generation, EntryNumber(first, i), cur - start);
        while (cur < end && IsWhite(*cur)) ++cur;
        if (cur >= end) return Failure(codes.endBeforeType, EntryNumber(first, i), cur - start);
        char type = static_cast<char>(*cur);
        if (type != 'n' && type != 'f') return Failure(codes.badType, EntryNumber(first, i), cur - start);
        ++cur;
        int64_t number = first + i;
        if (number <= INT32_MAX) out.push_back({static_cast<int32_t>(number), offset, generation, type});
    }
    return Failure();
}

// Whether text stands in [start, end), looked for in steps of 16 MB so that
// a stop request ends the search of a large input (false).
bool ContainsBytes(const Job& job, Cursor start, Cursor end, const char* text) {
    const ptrdiff_t n = static_cast<ptrdiff_t>(std::strlen(text));
    constexpr ptrdiff_t kStep = ptrdiff_t{16} << 20;
    for (Cursor p = start; end - p >= n && !job.Stopped(); p += kStep) {
        const Cursor stepEnd = end - p > kStep + n ? p + kStep + n - 1 : end;
        if (FindFirst(p, stepEnd, text)) return true;
    }
    return false;
}

// One cross-reference section at cur (just after "xref") and its trailer.
// On success prev holds the /Prev offset or -1. A stop returns no failure:
// the caller looks at the stop.
Failure ReadSection(const Job& job, Cursor start, Cursor end, Cursor cur, bool newest, RawEntries& entries,
                      ReaderRecord& reader, int64_t& prev) {
    const auto fail = [&](int32_t code, Cursor at) { return Failure(code, -1, at - start); };
    bool firstHeader = true;
    for (;;) {
        if (job.Stopped()) return Failure(job.StopCode);
        Cursor headerStart = cur;
        int32_t first = ReadInt(cur, end).value_or(-1);
        if (first < 0) {
            if (firstHeader) return fail(kXrefFirstHeader, headerStart);
            cur = headerStart;
            break;
        }
        int32_t count = ReadInt(cur, end).value_or(-1);
        if (count < 0)
            return fail(firstHeader ? kXrefFirstHeader : newest ? kXrefLaterNoCount : kXrefOlderNoCount, headerStart);
        const EntryCodes& codes = !newest ? kOlderSection : firstHeader ? kFirstSubsection : kLaterSubsection;
        if (Failure f = ReadEntries(start, cur, end, first, count, codes, entries)) return f;
        firstHeader = false;
    }

    // The trailer.
    while (cur < end && IsWhite(*cur)) ++cur;
    if (cur >= end) return fail(kXrefEndBeforeTrailer, cur);
    if (!StartsWith(cur, end, "trailer")) return fail(kXrefNoTrailer, cur);
    cur += 7;
    if (cur >= end || !IsWhite(*cur)) return fail(kXrefTrailerGlued, cur);
    if (!SkipWhiteAndComments(cur, end)) return fail(kXrefEndAfterTrailer, cur);
    if (!StartsWith(cur, end, "<<")) return fail(kXrefTrailerNotDict, cur);
    Cursor dict = cur + 2;
    Cursor dictEnd = FindDictEnd(dict, end);
    if (!dictEnd) return fail(kXrefTrailerNotClosed, cur);

    if (Cursor key = FindKey("/Encrypt", dict, dictEnd); key && reader.encryptKey == ReaderRecord::kNone)
        reader.encryptKey = key - start;
    if (Cursor key = FindKey("/Root", dict, dictEnd); key && reader.rootNumber == -1)
        ReadNumberPair(key + 5, end, reader.rootNumber, reader.rootGeneration);
    // The newest trailer that names an information dictionary holds the
    // current one; the older ones name what updates replaced.
    if (Cursor key = FindKey("/Info", dict, dictEnd); key && reader.infoNumber <= 0)
        ReadNumberPair(key + 5, end, reader.infoNumber, reader.infoGeneration);
    if (Cursor key = FindKey("/ID", dict, dictEnd)) ReadFileId(key + 3, end, reader);
    if (FindKey("/XRefStm", dict, dictEnd)) reader.xrefStreams = true;
    prev = -1;
    if (Cursor key = FindKey("/Prev", dict, dictEnd)) {
        Cursor p = key + 5;
        int64_t offset = ReadLong(p, dictEnd).value_or(-1);
        if (offset < 0) return fail(kXrefBadPrev, cur);
        prev = offset;
    }
    return Failure();
}

}  // namespace

void ReadFileId(Cursor cur, Cursor end, ReaderRecord& reader) {
    if (!SkipSpace(cur, end)) return;
    if (*cur == '[') {
        ++cur;
        if (!SkipSpace(cur, end)) return;
    }
    if (*cur == '(') {
        ++cur;
        reader.fileIdLength = ReadLiteralString(cur, end, reader.fileId, sizeof reader.fileId);
    } else if (*cur == '<') {
        ++cur;
        reader.fileIdLength = ReadHexString(cur, end, reader.fileId, sizeof reader.fileId);
    }
}

// How much white space and comment may stand between an offset and its section.
constexpr ptrdiff_t kSectionLead = ptrdiff_t{1} << 20;

Failure ReadXref(const Job& job, Cursor start, Cursor end, XrefTable& table, ReaderRecord& reader) {
    table.Clear();
    reader.xrefStreams = false;
    reader.encryptKey = ReaderRecord::kNone;
    reader.rootNumber = -1;
    reader.rootGeneration = 0;
    reader.infoNumber = reader.infoGeneration = 0;
    reader.missingObjects.clear();

    Cursor cur = end;
    if (!FindBackward(start, cur, "%%EOF", &job.StopCode)) return Failure(kXrefNoEof);
    // Objects after the last end marker are an update cut short: its table
    // is lost, and reading the older table would silently show the older
    // revision. The repair reads the whole file, later objects winning.
    if (Cursor header = nullptr; FindObjectHeader(cur + 5, end, header, &job.StopCode) == 0 && header) {
        reader.cutUpdate = FindFirst(header, end, "xref") || FindFirst(header, end, "/XRef") ? CutUpdate::ObjectsWhole
                                                                                         : CutUpdate::ObjectsLost;
        return Failure(kXrefCutUpdate);
    }
    if (!FindBackward(start, cur, "startxref", &job.StopCode)) return Failure(kXrefNoStartxref);
    cur += 9;
    const Cursor startxref = cur;
    int64_t offset = ReadLong(cur, end).value_or(-1);
    if (offset < 0) return Failure(kXrefBadStartxref, -1, startxref - start);

    try {
        RawEntries entries;
        std::unordered_set<int64_t> visited;
        bool newest = true;
        for (int64_t next = offset; next >= 0;) {
            // A chain that returns to a section already read is damaged: the
            // sections it should have led to are not read, and the repair
            // finds their objects.
            if (!visited.insert(next).second) return Failure(kXrefPrevLoop, -1, next);
            Cursor section = start + std::min<int64_t>(next, end - start);
            // The section stands at its offset, past a little white space:
            // an offset into a long run of it (a file padded with zeros) is
            // not followed to its end, the repair reads such a file.
            const Cursor lead = end - section > kSectionLead ? section + kSectionLead : end;
            if (!SkipWhiteAndComments(section, lead) || !StartsWith(section, end, "xref")) {
                if (!reader.xrefStreams && ContainsBytes(job, start, end, "/XRef")) reader.xrefStreams = true;
                return Failure(kXrefNotXref, -1, next);
            }
            int64_t prev = -1;
            if (Failure f = ReadSection(job, start, end, section + 4, newest, entries, reader, prev)) return f;
            if (job.Stopped()) return Failure(job.StopCode);
            newest = false;
            next = prev;
        }
        // Keep the first entry read for each number, in ascending order.
        std::stable_sort(entries.begin(), entries.end(),
                         [](const XrefEntry& a, const XrefEntry& b) { return a.number < b.number; });
        entries.erase(std::unique(entries.begin(), entries.end(),
                                  [](const XrefEntry& a, const XrefEntry& b) { return a.number == b.number; }),
                      entries.end());
        // An entry in use that points at no header of its object (offset 0,
        // or bytes of something else) names a missing object: it is listed
        // free, so that a reference to it reads as null. A page that needs
        // it makes the analysis fail, and the repair finds it.
        // An entry a few bytes off is first looked for nearby, as readers do;
        // a file whose every entry is off (bytes inserted early) is left to
        // the repair after a bounded number of such searches.
        int nearbySearches = 0;
        for (XrefEntry& entry : entries) {
            if (entry.type == 'n' && !LocateObject(start, end, entry.offset, entry.number, entry.generation)) {
                if (nearbySearches < kNearbySearches) {
                    ++nearbySearches;
                    const int64_t at =
                        NearbyObject(start, end, entry.offset, entry.number, entry.generation, kNearbyWindow);
                    if (at >= 0) {
                        entry.offset = at;
                        continue;
                    }
                }
                entry.type = 'f';
                reader.missingObjects.push_back(entry.number);
            }
        }
        entries.shrink_to_fit();
        table.Assign(std::move(entries));
    } catch (const std::bad_alloc&) {
        table.Clear();
        return Failure(kXrefNoMemory);
    }
    return Failure();
}

Result<int32_t> CountPages(Cursor start, Cursor end, int32_t rootNumber, int32_t rootGeneration,
                           const XrefTable& table) {
    DictObject catalog, root;
    if (Failure f = FindCatalog(start, end, table, rootNumber, rootGeneration, catalog)) return f;
    if (Failure f = FindPageTreeRoot(start, end, table, catalog, root)) return f;
    Cursor key = FindKey("/Count", root.inside(), root.end);
    if (!key) return -1;
    Cursor p = key + 6;
    int32_t count = ReadInt(p, end).value_or(-1);
    if (count < 0) return Failure(kCountNotNumber, root.number, key - start);
    return count;
}

}  // namespace brisel
