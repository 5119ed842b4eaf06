#include "docstruct/viewer_settings.h"

#include <cstring>
#include <iterator>

#include "docstruct/object_value.h"

namespace brisel {

namespace {

constexpr ValueCodes kOpenActionCodes{kViewerMalformed, kViewerNoGeneration, kViewerNoR, kViewerNotFound};


// From just after the "[" of the open action's destination: steps over its
// first element (a page reference, or a string, a name or an item in angle
// brackets) and returns the offset of the view part that follows, or -1.
int64_t ViewAfterFirstElement(Job& job, const Document& doc, Cursor p) {
    const Cursor end = doc.end();
    if (!SkipWhiteAndComments(p, end)) return Fail(job, kViewerMalformed, -1);
    if (IsDigit(*p)) {
        int32_t number, generation;
        if (ReadReferenceValue(p, end, number, generation) != PartFault::None) return Fail(job, kViewerMalformed, -1);
    } else if (*p == '(') {
        p = StringEnd(p, end);
        if (!p) return Fail(job, kViewerMalformed, -1);
    } else if (*p == '<' && !AtDict(p, end)) {
        p = static_cast<Cursor>(std::memchr(p, '>', static_cast<size_t>(end - p)));
        if (!p) return Fail(job, kViewerMalformed, -1);
        ++p;
    } else if (AtDict(p, end)) {
        if (!StepOverDict(p, end)) return Fail(job, kViewerMalformed, -1);
    } else if (*p == '/') {
        for (++p; p < end && !IsNumberTerminator(*p);) ++p;
    } else {
        return Fail(job, kViewerMalformed, -1);
    }
    // A view that no "]" closes would carry the rest of the input into every
    // page file's catalog.
    if (!SkipWhiteAndComments(p, end) || ViewLength(p, end) < 0) return Fail(job, kViewerMalformed, -1);
    job.LastError = 0;
    return p - doc.start();
}

// The view part of the input's open action: an explicit destination, or a
// GoTo action whose /D is one. kViewNone for anything else.
int ReadOpenAction(Job& job, const Document& doc, Cursor catalog, Cursor catalogEnd) {
    ViewerSettings& v = job.Viewer;
    v.OpenActionView = ViewerSettings::kViewNone;
    Cursor key = FindKey("/OpenAction", catalog, catalogEnd);
    if (!key) return 0;
    Cursor p = key + std::strlen("/OpenAction");
    if (ResolveValue(job, doc, p, kOpenActionCodes) < 0) return -1;
    const Cursor end = doc.end();
    if (AtDict(p, end)) {
        Cursor close = FindDictEnd(p + 2, end);
        Cursor d = close && FindKey("/GoTo", p + 2, close) ? FindKey("/D", p + 2, close) : nullptr;
        if (!d) return 0;
        p = d + 2;
        if (ResolveValue(job, doc, p, kOpenActionCodes) < 0) return -1;
    }
    if (*p != '[') return 0;
    int64_t view = ViewAfterFirstElement(job, doc, p + 1);
    if (view < 0) return -1;
    v.OpenActionView = view;
    return 0;
}

// The first byte of a key's value, the key standing at key with the given
// length: the key must end at a delimiter, and space and comments after it
// are skipped. null with kViewerMalformed otherwise.
Cursor ValueAfterKey(Job& job, const Document& doc, Cursor key, size_t length) {
    Cursor p = key + length;
    if (p >= doc.end() || !IsKeyDelimiter(*p) || !SkipWhiteAndComments(p, doc.end())) {
        job.LastError = kViewerMalformed;
        return nullptr;
    }
    return p;
}

// The value of an entry of the catalog's /ViewerPreferences when that is a
// direct dictionary. null when there is none (LastError 0) or with kViewerMalformed.
Cursor PreferenceValue(Job& job, const Document& doc, Cursor catalog, Cursor catalogEnd, const char* name) {
    Cursor key = FindKey("/ViewerPreferences", catalog, catalogEnd);
    if (!key) return nullptr;
    Cursor p = key + std::strlen("/ViewerPreferences");
    if (!SkipWhiteAndComments(p, catalogEnd) || !AtDict(p, catalogEnd)) return nullptr;
    Cursor close = FindDictEnd(p + 2, catalogEnd);
    Cursor entry = close ? FindKey(name, p + 2, close) : nullptr;
    return entry ? ValueAfterKey(job, doc, entry, std::strlen(name)) : nullptr;
}

// The value of a catalog entry; null when absent (LastError 0) or with kViewerMalformed.
Cursor CatalogValue(Job& job, const Document& doc, Cursor catalog, Cursor catalogEnd, const char* name) {
    Cursor key = FindKey(name, catalog, catalogEnd);
    return key ? ValueAfterKey(job, doc, key, std::strlen(name)) : nullptr;
}

struct NamedChoice {
    const char* name;
    int value;
};

// The value whose name the bytes at p begin with, or the fallback. Names are
// compared as prefixes: the byte after the name plays no part.
int Match(Cursor p, Cursor end, const NamedChoice* choices, size_t count, int fallback) {
    for (size_t i = 0; i < count; ++i)
        if (StartsWith(p, end, choices[i].name)) return choices[i].value;
    return fallback;
}

}  // namespace

int ReadViewerSettings(Job& job, const Document& doc, Cursor catalog, Cursor catalogEnd) {
    ViewerSettings& v = job.Viewer;
    const Cursor end = doc.end();
    if (v.OpenActionMode == "O" && v.OpenActionView == ViewerSettings::kViewNotSet) {
        if (ReadOpenAction(job, doc, catalog, catalogEnd) < 0) return -1;
        Cursor fit = PreferenceValue(job, doc, catalog, catalogEnd, "/FitWindow");
        if (job.LastError) return -1;
        if (fit && StartsWith(fit, end, "true")) v.FitWindow = 1;
    }
    if (v.Direction == kDirectionKeep) {
        Cursor direction = PreferenceValue(job, doc, catalog, catalogEnd, "/Direction");
        if (job.LastError) return -1;
        if (direction && StartsWith(direction, end, "/R2L")) v.Direction = kDirectionR2L;
    }
    if (v.PageLayout == kLayoutKeep) {
        static constexpr NamedChoice kLayouts[] = {
            {"/OneColumn", kLayoutOneColumn},
            {"/TwoColumnLeft", kLayoutTwoColumnLeft},
            {"/TwoColumnRight", kLayoutTwoColumnRight},
            {"/SinglePage", kLayoutSinglePage}};
        Cursor layout = CatalogValue(job, doc, catalog, catalogEnd, "/PageLayout");
        if (job.LastError) return -1;
        if (layout) v.PageLayout = Match(layout, end, kLayouts, std::size(kLayouts), kLayoutKeep);
    }
    if (v.PageMode == kModeKeep) {
        static constexpr NamedChoice kModes[] = {
            {"/UseOutlines", kModeOutlines}, {"/UseThumbs", kModeThumbs}, {"/FullScreen", kModeFullScreen}};
        Cursor mode = CatalogValue(job, doc, catalog, catalogEnd, "/PageMode");
        if (job.LastError) return -1;
        if (mode) v.PageMode = Match(mode, end, kModes, std::size(kModes), kModeKeep);
    }
    job.LastError = 0;
    return 0;
}

}  // namespace brisel
