#include "pagewriter/resource_names.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "docstruct/document_data.h"
#include "pdfread/xref_table.h"
#include "pagewriter/shared_resources.h"
#include "pdfread/content_names.h"
#include "pdfread/stream_decode.h"

namespace brisel {

namespace {

constexpr const char* kPrunedCategories[] = {"/Font",       "/XObject", "/ExtGState", "/ColorSpace",
                                             "/Pattern",    "/Shading", "/Properties"};
// Forms inside forms inside forms...: rounds of looking at what the names
// found so far use. Deeper nesting keeps every resource.
constexpr int kMaxRounds = 32;

int32_t ReferenceAt(Cursor p, Cursor end, int32_t* generation = nullptr) {
    int32_t number, g;
    if (!SkipWhiteAndComments(p, end) || !IsDigit(*p) || !ReadReference(p, end, number, g)) return 0;
    if (generation) *generation = g;
    return number;
}

// A resource dictionary met on the way, and whether it is shared.
struct Resources {
    Cursor value;
    bool shared;
};

class NameFinder {
public:
    NameFinder(Job& job, const Document& doc) : job_(job), doc_(doc) {}

    NameSet names;
    std::vector<Resources> resources;

    // Reads the names of the stream that the value at p names, once; its
    // /Resources joins the list. false when it cannot be decoded or read.
    bool ReadStream(Cursor p) {
        int32_t generation = 0;
        const int32_t number = ReferenceAt(p, doc_.end(), &generation);
        if (number <= 0) return true;  // a stream is never a direct value: nothing drawn
        if (!readStreams_.insert(number).second) return true;
        ++streamsRead_;
        const Cursor end = doc_.end();
        Cursor body = FindObject(doc_.table, doc_.start(), end, number, generation).value_or(nullptr);
        if (!body || !StartsWith(body, end, "<<")) return true;  // null, or not a stream: draws nothing
        Cursor close = FindDictEnd(body + 2, end);
        if (!close) return false;
        PredictorParms parms;
        const int state = ReadFilterState(body + 2, close, end, &parms).value_or(kFilterOther);
        if (!IsDecodableState(state)) return false;
        Cursor data = nullptr, after = nullptr;
        size_t length = 0;
        auto resolveLength = [&](int32_t n, int32_t g) -> int64_t {
            Cursor q = FindObject(doc_.table, doc_.start(), end, n, g).value_or(nullptr);
            return q ? ReadLong(q, end).value_or(-1) : -1;
        };
        Block decoded;
        const bool read = !LocateStreamData(body + 2, close, end, data, length, after, resolveLength) &&
                          !DecodeStreamData(job_, state, parms, data, length, decoded) &&
                          CollectContentNames(data, length, names);
        if (!read) return false;
        Cursor value, valueEnd;
        if (DictValue(body, close, "/Resources", value, valueEnd)) AddResources(value);
        return true;
    }

    void AddResources(Cursor value) {
        const int32_t number = ReferenceAt(value, doc_.end());
        resources.push_back({value, number > 0 && IsSharedResource(doc_, number)});
    }

    // The streams of a page: its content and its annotations' appearances.
    bool ReadPage(const PageEntry& page) {
        Cursor body = FindObject(doc_.table, doc_.start(), doc_.end(), page.number, page.generation).value_or(nullptr);
        Cursor open, close, value, valueEnd;
        if (!body || !DictionaryAt(doc_, body, open, close)) return false;
        if (DictValue(open, close, "/Contents", value, valueEnd) && !ReadStreams(value)) return false;
        Cursor annots, annotsEnd;
        if (DictValue(open, close, "/Annots", value, valueEnd) && ArrayAt(doc_, value, annots, annotsEnd)) {
            for (Cursor p = annots + 1; p < annotsEnd;) {
                if (!SkipWhiteAndComments(p, annotsEnd) || *p == ']') break;
                Cursor next = ValueEnd(p, annotsEnd);
                if (!next || next <= p) break;
                if (!ReadAppearances(p)) return false;
                p = next;
            }
        }
        return true;
    }

    // Looks at what the names found so far use in each resource dictionary
    // of the list (which may grow meanwhile). true when nothing new was
    // found; ok false when some stream could not be read.
    bool Round(bool& ok) {
        const size_t namesBefore = names.size(), streamsBefore = streamsRead_;
        for (size_t i = 0; i < resources.size() && ok; ++i) {
            Cursor open, close;
            if (!DictionaryAt(doc_, resources[i].value, open, close)) continue;
            DictEntry category;
            for (Cursor p = open + 2; ok && NextDictEntry(p, close, category);) {
                const int kind = category.Is("/XObject") ? 0 : category.Is("/Pattern") ? 1 : category.Is("/Font") ? 2
                                 : category.Is("/ExtGState") ? 3 : -1;
                Cursor catOpen, catClose;
                if (kind < 0 || !DictionaryAt(doc_, category.value, catOpen, catClose)) continue;
                DictEntry e;
                for (Cursor q = catOpen + 2; ok && NextDictEntry(q, catClose, e);)
                    if (names.count(PlainName(e.key, e.keyEnd)) && examined_.insert(e.value).second)
                        ok = Use(kind, e.value);
            }
        }
        return names.size() == namesBefore && streamsRead_ == streamsBefore;
    }

private:
    bool ReadStreams(Cursor value) {
        Cursor open, end;
        if (!ArrayAt(doc_, value, open, end)) return ReadStream(value);
        for (Cursor p = open + 1; p < end;) {
            if (!SkipWhiteAndComments(p, end) || *p == ']') break;
            Cursor next = ValueEnd(p, end);
            if (!next || next <= p) break;
            if (!ReadStream(p)) return false;
            p = next;
        }
        return true;
    }

    // The appearance streams of an annotation: /N, /R and /D, each a
    // stream or a dictionary of streams by state.
    bool ReadAppearances(Cursor annot) {
        Cursor open, close, value, valueEnd, apOpen, apClose;
        if (!DictionaryAt(doc_, annot, open, close) || !DictValue(open, close, "/AP", value, valueEnd) ||
            !DictionaryAt(doc_, value, apOpen, apClose))
            return true;
        DictEntry e;
        for (Cursor p = apOpen + 2; NextDictEntry(p, apClose, e);) {
            if (!e.Is("/N") && !e.Is("/R") && !e.Is("/D")) continue;
            Cursor states, statesEnd;
            if (IsStream(e.value) || !DictionaryAt(doc_, e.value, states, statesEnd)) {
                if (!ReadStream(e.value)) return false;
                continue;
            }
            DictEntry state;
            for (Cursor q = states + 2; NextDictEntry(q, statesEnd, state);)
                if (!ReadStream(state.value)) return false;
        }
        return true;
    }

    bool IsStream(Cursor value) {
        int32_t generation = 0;
        const int32_t number = ReferenceAt(value, doc_.end(), &generation);
        if (number <= 0) return false;
        Cursor body = FindObject(doc_.table, doc_.start(), doc_.end(), number, generation).value_or(nullptr);
        Cursor close = body && StartsWith(body, doc_.end(), "<<") ? FindDictEnd(body + 2, doc_.end()) : nullptr;
        if (!close) return false;
        Cursor p = close + 2;
        return SkipWhiteAndComments(p, doc_.end()) && StartsWith(p, doc_.end(), "stream");
    }

    bool NameIs(Cursor open, Cursor close, const char* key, const char* name) {
        DictEntry e;
        for (Cursor p = open + 2; NextDictEntry(p, close, e);)
            if (e.Is(key)) return ValueIsName(e, name);
        return false;
    }

    // What one resource that the pages name uses in turn: a form's or a
    // tiling pattern's content, a Type 3 font's glyphs, a soft mask's group.
    bool Use(int kind, Cursor value) {
        Cursor open, close, v, vEnd;
        if (!DictionaryAt(doc_, value, open, close)) return true;
        switch (kind) {
            case 0:  // an image is drawn by name alone
                return !NameIs(open, close, "/Subtype", "/Form") || ReadStream(value);
            case 1:
                return IsStream(value) ? ReadStream(value) : true;
            case 2: {
                if (!NameIs(open, close, "/Subtype", "/Type3")) return true;
                Cursor procs, procsEnd;
                if (DictValue(open, close, "/CharProcs", v, vEnd) && DictionaryAt(doc_, v, procs, procsEnd)) {
                    DictEntry glyph;
                    for (Cursor p = procs + 2; NextDictEntry(p, procsEnd, glyph);)
                        if (!ReadStream(glyph.value)) return false;
                }
                if (DictValue(open, close, "/Resources", v, vEnd)) AddResources(v);
                return true;
            }
            default: {
                Cursor mask, maskEnd;
                if (!DictValue(open, close, "/SMask", v, vEnd) || !DictionaryAt(doc_, v, mask, maskEnd) ||
                    !DictValue(mask, maskEnd, "/G", v, vEnd))
                    return true;
                return ReadStream(v);
            }
        }
    }

    Job& job_;
    const Document& doc_;
    std::unordered_set<int32_t> readStreams_;
    std::unordered_set<Cursor> examined_;
    size_t streamsRead_ = 0;
};

}  // namespace

bool IsPrunedCategory(const DictEntry& entry) {
    for (const char* name : kPrunedCategories)
        if (entry.Is(name)) return true;
    return false;
}

bool FindUnusedResources(Job& job, const Document& doc, const std::vector<const PageEntry*>& pages,
                         SkipRanges& skip) {
    skip.clear();
    if (!doc.resourcesShared) return true;
    NameFinder finder(job, doc);
    bool anyShared = false;
    for (const PageEntry* page : pages) {
        bool shared = false;
        Cursor value = PageResources(doc, *page, shared);
        if (!value) continue;
        finder.resources.push_back({value, shared});
        // A dictionary of the page's own may name shared category dictionaries.
        Cursor open, close;
        if (!shared && DictionaryAt(doc, value, open, close)) {
            DictEntry e;
            for (Cursor p = open + 2; NextDictEntry(p, close, e);)
                if (IsPrunedCategory(e) && IsSharedResource(doc, ReferenceAt(e.value, e.valueEnd))) shared = true;
        }
        anyShared = anyShared || shared;
    }
    if (!anyShared && !doc.drawnResourcesShared) return true;
    for (const PageEntry* page : pages)
        if (!finder.ReadPage(*page)) return false;
    bool ok = true;
    for (int round = 0;; ++round) {
        if (round == kMaxRounds || job.Stopped()) return false;
        if (finder.Round(ok) || !ok) break;
    }
    if (!ok) return false;

    // The entries nobody names, in each shared dictionary once.
    std::unordered_set<Cursor> pruned;
    auto prune = [&](Cursor open, Cursor close, bool colourSpaces) {
        if (!pruned.insert(open).second) return;
        DictEntry e;
        for (Cursor p = open + 2; NextDictEntry(p, close, e);) {
            const std::string name = PlainName(e.key, e.keyEnd);
            // Default colour spaces stand in for the device ones unnamed.
            if (finder.names.count(name) || (colourSpaces && name.compare(0, 7, "Default") == 0)) continue;
            skip.emplace_back(e.key, e.valueEnd);
        }
    };
    for (const Resources& r : finder.resources) {
        Cursor open, close;
        if (!DictionaryAt(doc, r.value, open, close)) continue;
        DictEntry category;
        for (Cursor p = open + 2; NextDictEntry(p, close, category);) {
            if (!IsPrunedCategory(category)) continue;
            if (!r.shared && !IsSharedResource(doc, ReferenceAt(category.value, category.valueEnd))) continue;
            Cursor catOpen, catClose;
            if (DictionaryAt(doc, category.value, catOpen, catClose))
                prune(catOpen, catClose, category.Is("/ColorSpace"));
        }
    }
    // Sorted and apart: a dictionary that odd files nest in another's
    // entry makes ranges overlap.
    std::sort(skip.begin(), skip.end());
    size_t kept = 0;
    for (const auto& range : skip) {
        if (kept > 0 && range.first < skip[kept - 1].second) skip[kept - 1].second = std::max(skip[kept - 1].second, range.second);
        else skip[kept++] = range;
    }
    skip.resize(kept);
    return true;
}

}  // namespace brisel
