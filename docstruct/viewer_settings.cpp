#include "docstruct/viewer_settings.h"

#include <cstring>
#include <iterator>

#include "docstruct/object_value.h"

namespace brisel {

namespace {

constexpr ValueCodes kOpenActionCodes{kViewerMalformed, kViewerNoGeneration, kViewerNoR, kViewerNotFound};

// From just after the "[" of the open action's destination: steps over its
// first element (a page reference, or a string, a name or an item in angle
// brackets) and returns the offset of the view part that follows.
Result<int64_t> ViewAfterFirstElement(const Document& doc, Cursor p) {
    const Cursor end = doc.end();
    const Failure malformed = Failure(kViewerMalformed).At(-1, p - doc.start());
    if (!SkipWhiteAndComments(p, end)) return malformed;
    if (IsDigit(*p)) {
        int32_t number, generation;
        if (ReadReferenceValue(p, end, number, generation) != PartFault::None) return malformed;
    } else if (*p == '(') {
        p = StringEnd(p, end);
        if (!p) return malformed;
    } else if (*p == '<' && !AtDict(p, end)) {
        p = static_cast<Cursor>(std::memchr(p, '>', static_cast<size_t>(end - p)));
        if (!p) return malformed;
        ++p;
    } else if (AtDict(p, end)) {
        if (!StepOverDict(p, end)) return malformed;
    } else if (*p == '/') {
        for (++p; p < end && !IsNumberTerminator(*p);) ++p;
    } else {
        return malformed;
    }
    // A view that no "]" closes would carry the rest of the input into every
    // page file's catalog.
    if (!SkipWhiteAndComments(p, end) || ViewLength(p, end) < 0) return malformed;
    return p - doc.start();
}

// The view part of the input's open action: an explicit destination, or a
// GoTo action whose /D is one. kViewNone for anything else.
Failure ReadOpenAction(const Document& doc, Cursor catalog, Cursor catalogEnd, ViewerSettings& v) {
    v.OpenActionView = ViewerSettings::kViewNone;
    Cursor key = FindKey("/OpenAction", catalog, catalogEnd);
    if (!key) return {};
    Cursor p = key + std::strlen("/OpenAction");
    if (Result<bool> r = ResolveValue(doc, p, kOpenActionCodes); !r) return r.failure();
    const Cursor end = doc.end();
    if (AtDict(p, end)) {
        Cursor close = FindDictEnd(p + 2, end);
        Cursor d = close && FindKey("/GoTo", p + 2, close) ? FindKey("/D", p + 2, close) : nullptr;
        if (!d) return {};
        p = d + 2;
        if (Result<bool> r = ResolveValue(doc, p, kOpenActionCodes); !r) return r.failure();
    }
    if (*p != '[') return {};
    const Result<int64_t> view = ViewAfterFirstElement(doc, p + 1);
    if (!view) return view.failure();
    v.OpenActionView = *view;
    return {};
}

// The first byte of a key's value, the key standing at key with the given
// length: the key must end at a delimiter, and space and comments after it
// are skipped. kViewerMalformed otherwise.
Result<Cursor> ValueAfterKey(const Document& doc, Cursor key, size_t length) {
    Cursor p = key + length;
    if (p >= doc.end() || !IsKeyDelimiter(*p) || !SkipWhiteAndComments(p, doc.end()))
        return Failure(kViewerMalformed).At(-1, key - doc.start());
    return p;
}

// The value of an entry of the catalog's /ViewerPreferences when that is a
// direct dictionary; null when there is none.
Result<Cursor> PreferenceValue(const Document& doc, Cursor catalog, Cursor catalogEnd, const char* name) {
    Cursor key = FindKey("/ViewerPreferences", catalog, catalogEnd);
    if (!key) return nullptr;
    Cursor p = key + std::strlen("/ViewerPreferences");
    if (!SkipWhiteAndComments(p, catalogEnd) || !AtDict(p, catalogEnd)) return nullptr;
    Cursor close = FindDictEnd(p + 2, catalogEnd);
    Cursor entry = close ? FindKey(name, p + 2, close) : nullptr;
    return entry ? ValueAfterKey(doc, entry, std::strlen(name)) : nullptr;
}

// The value of a catalog entry; null when absent.
Result<Cursor> CatalogValue(const Document& doc, Cursor catalog, Cursor catalogEnd, const char* name) {
    Cursor key = FindKey(name, catalog, catalogEnd);
    return key ? ValueAfterKey(doc, key, std::strlen(name)) : nullptr;
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

Failure ReadViewerSettings(const Document& doc, Cursor catalog, Cursor catalogEnd, ViewerSettings& v) {
    const Cursor end = doc.end();
    if (v.OpenActionMode == "O" && v.OpenActionView == ViewerSettings::kViewNotSet) {
        if (Failure f = ReadOpenAction(doc, catalog, catalogEnd, v)) return f;
        const Result<Cursor> fit = PreferenceValue(doc, catalog, catalogEnd, "/FitWindow");
        if (!fit) return fit.failure();
        if (*fit && StartsWith(*fit, end, "true")) v.FitWindow = 1;
    }
    if (v.Direction == kDirectionKeep) {
        const Result<Cursor> direction = PreferenceValue(doc, catalog, catalogEnd, "/Direction");
        if (!direction) return direction.failure();
        if (*direction && StartsWith(*direction, end, "/R2L")) v.Direction = kDirectionR2L;
    }
    if (v.PageLayout == kLayoutKeep) {
        static constexpr NamedChoice kLayouts[] = {
            {"/OneColumn", kLayoutOneColumn},
            {"/TwoColumnLeft", kLayoutTwoColumnLeft},
            {"/TwoColumnRight", kLayoutTwoColumnRight},
            {"/SinglePage", kLayoutSinglePage}};
        const Result<Cursor> layout = CatalogValue(doc, catalog, catalogEnd, "/PageLayout");
        if (!layout) return layout.failure();
        if (*layout) v.PageLayout = Match(*layout, end, kLayouts, std::size(kLayouts), kLayoutKeep);
    }
    if (v.PageMode == kModeKeep) {
        static constexpr NamedChoice kModes[] = {
            {"/UseOutlines", kModeOutlines}, {"/UseThumbs", kModeThumbs}, {"/FullScreen", kModeFullScreen}};
        const Result<Cursor> mode = CatalogValue(doc, catalog, catalogEnd, "/PageMode");
        if (!mode) return mode.failure();
        if (*mode) v.PageMode = Match(*mode, end, kModes, std::size(kModes), kModeKeep);
    }
    return {};
}

}  // namespace brisel
