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

bool ReadEntries(Job& job, Cursor& cur, Cursor end, int64_t first, int32_t count, const EntryCodes& codes,
                 RawEntries& out) {
    for (int64_t i = 0; i < count; ++i) {
        int64_t offset = ReadLong(cur, end).value_or(-1);
        if (offset < 0) {
            job.LastError = codes.offset;
            return false;
        }
        int32_t generation = ReadInt(cur, end).value_or(-1);
        if (generation < 0) {
            job.LastError = codes.generation;
            return false;
        }
        while (cur < end && IsWhite(*cur)) ++cur;
        if (cur >= end) {
            job.LastError = codes.endBeforeType;
            return false;
        }
        char type = static_cast<char>(*cur);
        if (type != 'n' && type != 'f') {
            job.LastError = codes.badType;
            return false;
        }
        ++cur;
        int64_t number = first + i;
        if (number <= INT32_MAX) out.push_back({static_cast<int32_t>(number), offset, generation, type});
    }
    return true;
}

// Whether text stands in [start, end), looked for in steps of 16 MB so that
// a stop request ends the search of a large input (false).
bool ContainsBytes(Job& job, Cursor start, Cursor end, const char* text) {
    const ptrdiff_t n = static_cast<ptrdiff_t>(std::strlen(text));
    constexpr ptrdiff_t kStep = ptrdiff_t{16} << 20;
    for (Cursor p = start; end - p >= n && !job.Stopped(); p += kStep) {
        const Cursor stepEnd = end - p > kStep + n ? p + kStep + n - 1 : end;
        if (FindFirst(p, stepEnd, text)) return true;
    }
    return false;
}

// One cross-reference section at cur (just after "xref") and its trailer.
// Returns false on failure; on success prev holds the /Prev offset or -1.
bool ReadSection(Job& job, Cursor start, Cursor end, Cursor cur, bool newest, RawEntries& entries,
                 ReaderRecord& reader, int64_t& prev) {
    bool firstHeader = true;
    for (;;) {
        if (job.Stopped()) return false;
        Cursor headerStart = cur;
        int32_t first = ReadInt(cur, end).value_or(-1);
        if (first < 0) {
            if (firstHeader) {
                job.LastError = kXrefFirstHeader;
                return false;
            }
            job.LastError = 0;
            cur = headerStart;
            break;
        }
        int32_t count = ReadInt(cur, end).value_or(-1);
        if (count < 0) {
            job.LastError = firstHeader ? kXrefFirstHeader : newest ? kXrefLaterNoCount : kXrefOlderNoCount;
            return false;
        }
        const EntryCodes& codes = !newest ? kOlderSection : firstHeader ? kFirstSubsection : kLaterSubsection;
        if (!ReadEntries(job, cur, end, first, count, codes, entries)) return false;
        firstHeader = false;
    }

    // The trailer.
    while (cur < end && IsWhite(*cur)) ++cur;
    if (cur >= end) {
        job.LastError = kXrefEndBeforeTrailer;
        return false;
    }
    if (!StartsWith(cur, end, "trailer")) {
        job.LastError = kXrefNoTrailer;
        return false;
    }
    cur += 7;
    if (cur >= end || !IsWhite(*cur)) {
        job.LastError = kXrefTrailerGlued;
        return false;
    }
    if (!SkipWhiteAndComments(cur, end)) {
        job.LastError = kXrefEndAfterTrailer;
        return false;
    }
    if (!StartsWith(cur, end, "<<")) {
        job.LastError = kXrefTrailerNotDict;
        return false;
    }
    Cursor dict = cur + 2;
    Cursor dictEnd = FindDictEnd(dict, end);
    if (!dictEnd) {
        job.LastError = kXrefTrailerNotClosed;
        return false;
    }

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
    job.LastError = 0;
    prev = -1;
    if (Cursor key = FindKey("/Prev", dict, dictEnd)) {
        Cursor p = key + 5;
        int64_t offset = ReadLong(p, dictEnd).value_or(-1);
        if (offset < 0) {
            job.LastError = kXrefBadPrev;
            return false;
        }
        prev = offset;
    }
    job.LastError = 0;
    return true;
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

int ReadXref(Job& job, Cursor start, Cursor end, XrefTable& table, ReaderRecord& reader) {
    table.Clear();
    reader.xrefStreams = false;
    reader.encryptKey = ReaderRecord::kNone;
    job.LastError = 0;
    reader.rootNumber = -1;
    reader.rootGeneration = 0;
    reader.infoNumber = reader.infoGeneration = 0;
    reader.missingObjects.clear();

    Cursor cur = end;
    if (!FindBackward(start, cur, "%%EOF", &job.StopCode)) {
        job.LastError = kXrefNoEof;
        return 0;
    }
    // Objects after the last end marker are an update cut short: its table
    // is lost, and reading the older table would silently show the older
    // revision. The repair reads the whole file, later objects winning.
    if (Cursor header = nullptr; FindObjectHeader(cur + 5, end, header, &job.StopCode) == 0 && header) {
        reader.cutUpdate = FindFirst(header, end, "xref") || FindFirst(header, end, "/XRef") ? CutUpdate::ObjectsWhole
                                                                                         : CutUpdate::ObjectsLost;
        job.LastError = kXrefCutUpdate;
        return 0;
    }
    job.LastError = 0;
    if (!FindBackward(start, cur, "startxref", &job.StopCode)) {
        job.LastError = kXrefNoStartxref;
        return 0;
    }
    cur += 9;
    int64_t offset = ReadLong(cur, end).value_or(-1);
    if (offset < 0) {
        job.LastError = kXrefBadStartxref;
        return 0;
    }

    try {
        RawEntries entries;
        std::unordered_set<int64_t> visited;
        bool newest = true;
        for (int64_t next = offset; next >= 0;) {
            // A chain that returns to a section already read is damaged: the
            // sections it should have led to are not read, and the repair
            // finds their objects.
            if (!visited.insert(next).second) {
                job.LastError = kXrefPrevLoop;
                return 0;
            }
            Cursor section = start + std::min<int64_t>(next, end - start);
            // The section stands at its offset, past a little white space:
            // an offset into a long run of it (a file padded with zeros) is
            // not followed to its end, the repair reads such a file.
            const Cursor lead = end - section > kSectionLead ? section + kSectionLead : end;
            if (!SkipWhiteAndComments(section, lead) || !StartsWith(section, end, "xref")) {
                job.LastError = kXrefNotXref;
                if (!reader.xrefStreams && ContainsBytes(job, start, end, "/XRef")) reader.xrefStreams = true;
                return 0;
            }
            int64_t prev = -1;
            if (!ReadSection(job, start, end, section + 4, newest, entries, reader, prev))
                return 0;
            if (job.Stopped()) return 0;
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
            if (entry.type == 'n' && !LocateObject(job, start, end, entry.offset, entry.number, entry.generation)) {
                if (nearbySearches < kNearbySearches) {
                    ++nearbySearches;
                    const int64_t at =
                        NearbyObject(job, start, end, entry.offset, entry.number, entry.generation, kNearbyWindow);
                    if (at >= 0) {
                        entry.offset = at;
                        continue;
                    }
                }
                entry.type = 'f';
                reader.missingObjects.push_back(entry.number);
            }
        }
        job.LastError = 0;
        entries.shrink_to_fit();
        table.Assign(std::move(entries));
    } catch (const std::bad_alloc&) {
        table.Clear();
        job.LastError = kXrefNoMemory;
        return 0;
    }
    return 1;
}

int32_t CountPages(Job& job, Cursor start, Cursor end, int32_t rootNumber, int32_t rootGeneration,
                   const XrefTable& table) {
    DictObject catalog, root;
    if (!FindCatalog(job, start, end, table, rootNumber, rootGeneration, catalog) ||
        !FindPageTreeRoot(job, start, end, table, catalog, root))
        return -1;
    Cursor key = FindKey("/Count", root.inside(), root.end);
    if (!key) return -1;
    Cursor p = key + 6;
    int32_t count = ReadInt(p, end).value_or(-1);
    if (count < 0) {
        job.LastError = kCountNotNumber;
        return -1;
    }
    return count;
}

}  // namespace brisel
