#include "docstruct/named_dests.h"

#include <cstring>
#include <vector>

#include "base/job_host.h"
#include "base/object_map.h"
#include "base/texts.h"
#include "docstruct/object_value.h"
#include "pdfread/catalog.h"
#include "pdfread/xref_table.h"

namespace brisel {

namespace {

// Resolving /Names and /Dests, and the values inside /Names arrays and the
// /Dests dictionary.
constexpr ValueCodes kTreeCodes{kTreeNoValue, kTreeNoGeneration, kTreeNoR, kValueNotFound};
constexpr ValueCodes kEntryCodes{kValueEnd, kValueMalformed, kValueNoR, kValueNotFound};


// The dictionary that the value at p is or names: [inside, close); a failure
// when it is neither a dictionary nor a reference to one.
Failure ResolveDict(const Document& doc, Cursor p, Cursor& inside, Cursor& close) {
    if (Result<bool> r = ResolveValue(doc, p, kTreeCodes); !r) return r.failure();
    close = AtDict(p, doc.end()) ? FindDictEnd(p + 2, doc.end()) : nullptr;
    if (!close) return Failure(kTreeNotDict).At(-1, p - doc.start());
    inside = p + 2;
    return {};
}

// The dictionary that a key of [from, to) holds or names: true with inside
// and close, false when the key is absent. A delimited key must be followed
// by white space, a comment or "/".
Result<bool> EntryDict(const Document& doc, Cursor from, Cursor to, const char* key, bool delimited, Cursor& inside,
                       Cursor& close) {
    Cursor at = FindKey(key, from, to);
    if (!at) return false;
    Cursor p = at + std::strlen(key);
    if (delimited && (p >= doc.end() || !IsKeyDelimiter(*p))) return Failure(kTreeNoValue).At(-1, p - doc.start());
    if (Failure f = ResolveDict(doc, p, inside, close)) return f;
    return true;
}

// Appends the pairs of a /Names array (p on its value) to dests.strings.
Failure ReadNamesArray(const Document& doc, Cursor p, NamedDests& dests) {
    const Cursor end = doc.end();
    if (Result<bool> r = ResolveValue(doc, p, kEntryCodes); !r) return r.failure();
    auto failAt = [&](int32_t code) { return Failure(code).At(-1, p - doc.start()); };
    if (*p != '[') return failAt(kNamesNotArray);
    ++p;
    for (;;) {
        if (!SkipWhiteAndComments(p, end)) return failAt(kValueEnd);
        if (*p == ']') return {};
        Cursor keyEnd = *p == '(' || *p == '<' ? StringEnd(p, end) : nullptr;
        if (!keyEnd) return failAt(kNameNotString);
        std::string_view name = BytesBetween(p + 1, keyEnd - 1);
        p = keyEnd;
        dests.strings.emplace(name, p);
        // Step over the value: a reference, null, an array or a dictionary.
        if (!SkipWhiteAndComments(p, end)) return failAt(kValueEnd);
        if (IsDigit(*p)) {
            int32_t number, generation;
            const PartFault fault = ReadReferenceValue(p, end, number, generation);
            if (fault == PartFault::Number || fault == PartFault::Generation) return failAt(kValueMalformed);
            if (fault != PartFault::None) return failAt(kValueNoR);
        } else if (StartsWith(p, end, "null")) {
            p += 4;
        } else if (*p == '[') {
            Cursor close = static_cast<Cursor>(std::memchr(p, ']', static_cast<size_t>(end - p)));
            if (!close) return failAt(kValueMalformed);
            p = close + 1;
        } else if (AtDict(p, end)) {
            if (!StepOverDict(p, end)) return failAt(kValueMalformed);
        } else {
            return failAt(kValueMalformed);
        }
    }
}

// Reads one node of the name tree: 0 for a leaf, or the offset of the first
// byte inside its /Kids for an intermediate node. inside and close get the
// node's dictionary.
Result<int64_t> ReadNameTreeNode(const Document& doc, int64_t offset, int32_t number, int32_t generation,
                                 Cursor& inside, Cursor& close) {
    const Cursor end = doc.end();
    auto failAt = [&](int32_t code) { return Failure(code, number, offset); };
    const Result<Cursor> found = LocateObject(doc.start(), end, offset, number, generation);
    if (!found) return failAt(kNameNodeMissing);
    const Cursor body = *found;
    if (!AtDict(body, end)) return failAt(kNameNodeNotDict);
    close = FindDictEnd(body + 2, end);
    if (!close) return failAt(kNameNodeNotClosed);
    inside = body + 2;
    Cursor kids = FindKey("/Kids", inside, close);
    if (!kids) return int64_t{0};
    Cursor p = kids + 5;
    if (!SkipWhiteAndComments(p, end)) return failAt(kNameNodeEndAtKids);
    if (*p != '[') return failAt(kNameNodeKidsNotArray);
    return p + 1 - doc.start();
}

// The /Names of a leaf, when it has one.
Failure ReadLeaf(const Document& doc, Cursor inside, Cursor close, NamedDests& dests, bool required) {
    Cursor names = FindKey("/Names", inside, close);
    if (!names) return required ? Failure(kLeafNoNames).At(-1, inside - doc.start()) : Failure();
    return ReadNamesArray(doc, names + 6, dests);
}

// Walks the /Kids below the root depth first from the cursor inside the
// root's /Kids. Each node is read once: a node reached again (the tree leads
// back to itself) ends the walk with kNameTreeLoop.
Failure WalkNameTree(Job& job, const Document& doc, Cursor cur, NamedDests& dests) {
    const Cursor end = doc.end();
    std::vector<Cursor> stack;
    ObjectMap seen;
    uint32_t steps = 0;
    // The status line shows the walk going on; in Japanese it alternates
    // between the long and the short text.
    auto step = [&] {
        job.StatusText = Tr(job.app.language, (steps++ & 1) ? Text::AnalyzingOutlineShort : Text::AnalyzingOutline);
        job.host.Progress(job, 15);
    };
    while (!job.Stopped()) {
        int32_t number = 0, generation = 0;
        const Result<bool> kid =
            NextKid(cur, end, {kDestsEndReached, kNameKidsNotClosed}, !stack.empty(), number, generation);
        if (!kid) return kid.failure().At(-1, cur - doc.start());
        if (!*kid) {
            if (stack.empty()) return {};
            cur = stack.back();
            stack.pop_back();
            step();
            continue;
        }
        step();
        const Result<int64_t> offset = LookupXref(doc.table, number, generation);
        if (!offset) return Failure(kNameKidNotListed, number, -1);
        if (seen.Find(number) >= 0) return Failure(kNameTreeLoop, number, *offset);
        seen.Insert(number, 1);
        Cursor inside, close;
        const Result<int64_t> node = ReadNameTreeNode(doc, *offset, number, generation, inside, close);
        if (!node) return Failure(kNameKidUnreadable, number, *offset);
        if (*node > 0) {
            stack.push_back(cur);
            cur = doc.start() + *node;
        } else if (Failure f = ReadLeaf(doc, inside, close, dests, false)) {
            return f;
        }
    }
    return Failure(job.StopCode);
}

}  // namespace

Failure ReadDestsNameTree(Job& job, const Document& doc, Cursor catalog, Cursor catalogEnd, NamedDests& dests) {
    Cursor inside, close;
    Result<bool> found = EntryDict(doc, catalog, catalogEnd, "/Names", false, inside, close);
    if (found && *found) found = EntryDict(doc, inside, close, "/Dests", true, inside, close);
    if (!found) return found.failure();
    if (!*found) return {};

    Cursor kids = FindKey("/Kids", inside, close);
    if (!kids) return ReadLeaf(doc, inside, close, dests, true);
    const Cursor end = doc.end();
    Cursor p = kids + 5;
    if (!SkipWhiteAndComments(p, end) || *p != '[') return Failure(kNameKidsNotArray).At(-1, kids - doc.start());
    return WalkNameTree(job, doc, p + 1, dests);
}

Failure ReadDestsDictionary(const Document& doc, Cursor catalog, Cursor catalogEnd, NamedDests& dests) {
    const Cursor end = doc.end();
    Cursor p, close;
    const Result<bool> found = EntryDict(doc, catalog, catalogEnd, "/Dests", false, p, close);
    if (!found) return found.failure();
    if (!*found) return {};
    for (;;) {
        auto failAt = [&](int32_t code) { return Failure(code).At(-1, p - doc.start()); };
        if (!SkipWhiteAndComments(p, end)) return failAt(kDestsEndReached);
        if (p >= close || *p == '>') return {};
        if (*p != '/') return failAt(kDestsKeyNotName);
        Cursor nameEnd = p + 1;
        while (nameEnd < end && !IsNumberTerminator(*nameEnd)) ++nameEnd;
        std::string_view name = BytesBetween(p + 1, nameEnd);

        // The value as written, and where the scan goes on after it.
        Cursor value = nameEnd, after = nullptr;
        const Result<bool> resolved = ResolveValue(doc, value, kEntryCodes, nullptr, &after);
        if (!resolved) return resolved.failure();
        Cursor dest = value;
        if (AtDict(value, end)) {
            Cursor dictEnd = FindDictEnd(value + 2, end);
            Cursor d = dictEnd ? FindKey("/D", value + 2, dictEnd) : nullptr;
            if (!d) return failAt(kDestDictNoD);
            if (!*resolved) after = dictEnd + 2;
            dest = d + 2;
            if (Result<bool> r = ResolveValue(doc, dest, kEntryCodes); !r) return r.failure();
        }
        NamedDests::Target target;
        if (StartsWith(dest, end, "null")) {
            if (!after) after = dest + 4;
        } else if (*dest == '[') {
            ExplicitDest explicitDest;
            if (!ReadExplicitDest(dest, end, explicitDest)) return failAt(kDestArrayMalformed);
            target = {explicitDest.page, explicitDest.view, explicitDest.viewLength};
            if (!after) after = explicitDest.after;
        } else {
            return failAt(kDestNotArray);
        }
        dests.names.emplace(name, target);
        p = after;
    }
}

void ReadNamedDests(Job& job, const Document& doc, NamedDests& dests) {
    DictObject catalog;
    if (FindCatalog(doc.start(), doc.end(), doc.table, doc.reader.rootNumber, doc.reader.rootGeneration, catalog))
        return;
    if (ReadDestsNameTree(job, doc, catalog.inside(), catalog.end, dests)) dests.strings.clear();
    if (ReadDestsDictionary(doc, catalog.inside(), catalog.end, dests)) dests.names.clear();
}

bool ReadNamedValue(const Document& doc, Cursor p, NamedDests::Target& target) {
    const Cursor end = doc.end();
    bool ok = ResolveValue(doc, p, kEntryCodes).ok();
    if (ok && AtDict(p, end)) {
        Cursor close = FindDictEnd(p + 2, end);
        Cursor d = close ? FindKey("/D", p + 2, close) : nullptr;
        p = d ? d + 2 : nullptr;
        ok = p && ResolveValue(doc, p, kEntryCodes).ok();
    }
    ExplicitDest dest;
    if (!ok || !ReadExplicitDest(p, end, dest)) return false;
    target = {dest.page, dest.view, dest.viewLength};
    return true;
}

}  // namespace brisel
