#include "pdfread/repair.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "base/platform.h"
#include "pdfread/classic_section.h"
#include "pdfread/lexer.h"
#include "pdfread/xref_table.h"

namespace brisel {

namespace {

constexpr char kHeader[] = "%PDF-1.3\n%\xE2\xE3\xCF\xD3\n";

// Where the last copy of an object with this number went.
struct FoundObject {
    int32_t number = 0;
    int32_t generation = 0;
    int64_t offset = 0;
};

// The objects found, one per number (the last copy in file order), sorted
// by number: a list as long as the objects, however high their numbers run.
class FoundObjects {
public:
    void Add(int32_t number, int32_t generation, int64_t offset) { list_.push_back({number, generation, offset}); }
    void Finish() {
        std::stable_sort(list_.begin(), list_.end(),
                         [](const FoundObject& a, const FoundObject& b) { return a.number < b.number; });
        // Of equal numbers the last copy in file order stays.
        std::vector<FoundObject> last;
        for (size_t i = 0; i < list_.size(); ++i)
            if (i + 1 == list_.size() || list_[i + 1].number != list_[i].number) last.push_back(list_[i]);
        list_.swap(last);
    }
    const FoundObject* Find(int32_t number) const {
        auto at = std::lower_bound(list_.begin(), list_.end(), number,
                                   [](const FoundObject& f, int32_t n) { return f.number < n; });
        return at != list_.end() && at->number == number ? &*at : nullptr;
    }

private:
    std::vector<FoundObject> list_;
};

// The catalog a trailer of the input names, for a file whose catalog has no
// /Catalog name: the /Root of the last trailer (or cross-reference stream
// dictionary) that names an object the scan found as a dictionary whose
// /Pages is a reference. false when no trailer names such an object.
bool TrailerRoot(Cursor start, Cursor end, const ImageBuffer& out, const FoundObjects& found,
                 int32_t& number, int32_t& generation) {
    const Cursor image = out.data(), imageEnd = out.data() + out.size();
    // A bounded look back: the trailers stand at the end of their sections.
    int candidates = 64;
    for (ptrdiff_t i = (end - start) - 6; i >= 0 && candidates > 0; --i) {
        const Cursor at = start + i;
        if (*at != '/' || std::memcmp(at, "/Root", 5) != 0 || !IsDelimiter(at[5])) continue;
        --candidates;
        Cursor p = at + 5;
        int32_t n, g;
        const PartFault fault = ReadReferenceValue(p, end, n, g);
        if (fault != PartFault::None) continue;
        const FoundObject* object = found.Find(n);
        if (!object || object->generation != g) continue;
        Cursor body = LocateObject(image, imageEnd, object->offset, n, g).value_or(nullptr);
        Cursor dictEnd = body && StartsWith(body, imageEnd, "<<") ? FindDictEnd(body + 2, imageEnd) : nullptr;
        // /Pages as a key with a reference (not the name of a /Type).
        Cursor pages = dictEnd ? FindKey("/Pages", body + 2, dictEnd) : nullptr;
        bool catalog = false;
        if (pages) {
            Cursor q = pages + 6;
            int32_t pagesNumber, pagesGeneration;
            catalog = ReadReferenceValue(q, dictEnd, pagesNumber, pagesGeneration) == PartFault::None;
        }
        if (!catalog) continue;
        number = n;
        generation = g;
        return true;
    }
    return false;
}

// The /Info references of the trailers and cross-reference stream
// dictionaries met while the scan copies the input, oldest first: read from
// the bytes between objects and from the first bytes of each object, so that
// the input set aside is never read again.
struct InfoCandidates {
    std::vector<std::pair<int32_t, int32_t>> seen;

    void Scan(Cursor from, Cursor to) {
        for (Cursor at = FindFirst(from, to, "/Info"); at; at = FindFirst(at + 5, to, "/Info")) {
            if (at + 5 < to && !IsDelimiter(at[5])) continue;
            Cursor p = at + 5;
            int32_t n, g;
            if (ReadReferenceValue(p, to, n, g) == PartFault::None && seen.size() < 4096) seen.emplace_back(n, g);
        }
    }

    // A cross-reference stream names its /Info in its dictionary, which
    // stands first in the object.
    void ScanObject(Cursor header, Cursor objectEnd) {
        const Cursor head = header + std::min<ptrdiff_t>(objectEnd - header, 1024);
        if (FindFirst(header, head, "/XRef")) Scan(header, head);
    }

    // The newest that names a dictionary the scan found; 0 when none does.
    void Pick(const ImageBuffer& out, const FoundObjects& found, int32_t& number, int32_t& generation) const {
        const Cursor image = out.data(), imageEnd = out.data() + out.size();
        for (auto it = seen.rbegin(); it != seen.rend(); ++it) {
            const FoundObject* object = found.Find(it->first);
            if (!object || object->generation != it->second) continue;
            Cursor body = LocateObject(image, imageEnd, object->offset, it->first, it->second).value_or(nullptr);
            if (!body || !StartsWith(body, imageEnd, "<<")) continue;
            number = it->first;
            generation = it->second;
            return;
        }
    }
};

bool Holds(Cursor from, Cursor to, const char* text) { return FindFirst(from, to, text) != nullptr; }

bool HoldsCatalog(Cursor from, Cursor to) { return Holds(from, to, "/Catalog"); }

// Whether another object header stands in [afterNumbers, limit) of the
// object at header, with no stream before it: next gets it.
bool MissesEnd(const Job& job, Cursor afterNumbers, Cursor limit, Cursor header, Cursor& next) {
    const bool found = FindObjectHeader(afterNumbers, limit, next, &job.StopCode) == 0 && next < limit;
    return found && !Holds(header, next, "stream");
}

// Copies size bytes from `from` in steps of 16 MB, so that a stop request
// ends a copy of gigabytes (true: the caller sees the stop and drops the
// image). false when out cannot grow.
bool CopyInSteps(const Job& job, ImageBuffer& out, Cursor from, size_t size) {
    constexpr size_t kStep = size_t{16} << 20;
    for (size_t done = 0; done < size && !job.Stopped(); done += kStep)
        if (!out.Write(from + done, std::min(kStep, size - done))) return false;
    return true;
}

Failure Rebuild(const Job& job, const Block& image, Block& rebuilt) {
    const Cursor start = image.data();
    const Cursor end = start + image.size();
    ImageBuffer out;
    if (!out.Init(image.size() + 32768)) return Failure(kRepairNoImage);
    // Garbage in front of the header: a header of our own goes first.
    if ((image.size() == 0 || start[0] != '%') && !out.Write(kHeader, sizeof kHeader - 1))
        return Failure(kRepairCannotGrow);

    FoundObjects found;
    int32_t highest = 0, rootNumber = 0, rootGeneration = 0;
    Cursor pos = start;
    Cursor setAside = start;  // the input before it is copied and given back
    Cursor header = nullptr;
    if (FindObjectHeader(pos, end, header, &job.StopCode) != 0) return Failure(kRepairNoObject);
    InfoCandidates info;
    for (bool first = true;; first = false) {
        info.Scan(pos, header);
        if (!CopyInSteps(job, out, pos, static_cast<size_t>(header - pos))) return Failure(kRepairCannotGrow);
        bool catalogSeen = false;
        Cursor objectEnd = nullptr;
        const bool ended = FindObjectEnd(header, end, objectEnd, catalogSeen, &job.StopCode) == 0;
        Cursor p = header;
        const int32_t number = ReadInt(p, end).value_or(-1);
        const int32_t generation = ReadInt(p, end).value_or(-1);
        // An object whose "endobj" is missing ends where the next object
        // begins, unless it holds a stream (whose data may hold any bytes);
        // the "endobj" is written for it.
        Cursor next = nullptr;
        const Cursor limit = ended ? objectEnd : end;
        const bool cut = MissesEnd(job, p, limit, header, next);
        if (cut) {
            objectEnd = next;
            catalogSeen = HoldsCatalog(header, next);
        } else if (!ended) {
            // An object without "endobj" and no object after it ends the
            // scan: it is left out.
            if (first) return Failure(kRepairFirstUnended, number, header - start);
            break;
        }
        // An absurd number leaves its bytes in place but gets no entry.
        if (number >= 0 && generation >= 0 && number < kMaxListedObjects) {
            // The last copy of a number wins; earlier copies stay in the image.
            found.Add(number, generation, static_cast<int64_t>(out.size()));
            highest = std::max(highest, number);
            if (catalogSeen) {
                rootNumber = number;
                rootGeneration = generation;
            }
        }
        info.ScanObject(header, objectEnd);
        if (!CopyInSteps(job, out, header, static_cast<size_t>(objectEnd - header)) ||
            (cut && !out.Write("\nendobj\n")))
            return Failure(kRepairCannotGrow);
        pos = objectEnd;
        if (static_cast<size_t>(pos - setAside) >= kSetAsideStep) {
            SetBytesAside(setAside, static_cast<size_t>(pos - setAside));
            setAside = pos;
        }
        if (job.Stopped() || FindObjectHeader(pos, end, header, &job.StopCode) != 0) break;
    }
    found.Finish();
    if (rootNumber == 0) TrailerRoot(start, end, out, found, rootNumber, rootGeneration);
    // The last trailer stands after the last object.
    info.Scan(pos, end);
    int32_t infoNumber = 0, infoGeneration = 0;
    info.Pick(out, found, infoNumber, infoGeneration);

    auto entryOf = [&](int32_t n, int64_t& offset, int32_t& generation) -> char {
        const FoundObject* object = found.Find(n);
        if (!object) return 0;
        offset = object->offset;
        generation = object->generation;
        return 'n';
    };
    if (!WriteClassicSection(out, highest + 1, rootNumber, rootGeneration, infoNumber, infoGeneration, entryOf))
        return Failure(kRepairSectionFull);
    if (!out.Finish(rebuilt)) return Failure(kRepairCannotGrow);
    return Failure();
}

}  // namespace

Failure RebuildClassic(const Job& job, Block& image) { return RebuildClassicFrom(job, image, image); }

Failure RebuildClassicFrom(const Job& job, const Block& image, Block& rebuilt) {
    try {
        Block out;
        if (Failure f = Rebuild(job, image, out)) return f;
        rebuilt = std::move(out);
        return Failure();
    } catch (const std::bad_alloc&) {
        return Failure(kRepairNoMemory);
    }
}

}  // namespace brisel
