#include "docstruct/named_dests.h"

#include <cstring>
#include <vector>

#include "base/job_host.h"
#include "base/object_map.h"
#include "base/texts.h"
#include "docstruct/job_reads.h"
#include "docstruct/object_value.h"

namespace brisel {

namespace {

// Resolving /Names and /Dests, and the values inside /Names arrays and the
// /Dests dictionary.
constexpr ValueCodes kTreeCodes{kTreeNoValue, kTreeNoGeneration, kTreeNoR, kValueNotFound};
constexpr ValueCodes kEntryCodes{kValueEnd, kValueMalformed, kValueNoR, kValueNotFound};


// The dictionary that the value at p is or names: [inside, close). -1 with
// LastError when it is neither a dictionary nor a reference to one.
int ResolveDict(Job& job, const Document& doc, Cursor p, Cursor& inside, Cursor& close) {
    if (ResolveValue(job, doc, p, kTreeCodes) < 0) return -1;
    close = AtDict(p, doc.end()) ? FindDictEnd(p + 2, doc.end()) : nullptr;
    if (!close) return Fail(job, kTreeNotDict, -1);
    inside = p + 2;
    return 0;
}

// The dictionary that a key of [from, to) holds or names: 1 with inside and
// close, 0 when the key is absent, -1 with LastError. A delimited key must be
// followed by white space, a comment or "/".
int EntryDict(Job& job, const Document& doc, Cursor from, Cursor to, const char* key, bool delimited, Cursor& inside,
              Cursor& close) {
    Cursor at = FindKey(key, from, to);
    if (!at) return 0;
    Cursor p = at + std::strlen(key);
    if (delimited && (p >= doc.end() || !IsKeyDelimiter(*p))) return Fail(job, kTreeNoValue, -1);
    return ResolveDict(job, doc, p, inside, close) < 0 ? -1 : 1;
}

// Appends the pairs of a /Names array (p on its value) to dests.strings.
int ReadNamesArray(Job& job, const Document& doc, Cursor p, NamedDests& dests) {
    const Cursor end = doc.end();
    if (ResolveValue(job, doc, p, kEntryCodes) < 0) return -1;
    if (*p != '[') return Fail(job, kNamesNotArray, -1);
    ++p;
    for (;;) {
        if (!SkipWhiteAndComments(p, end)) return Fail(job, kValueEnd, -1);
        if (*p == ']') return 0;
        Cursor keyEnd = *p == '(' || *p == '<' ? StringEnd(p, end) : nullptr;
        if (!keyEnd) return Fail(job, kNameNotString, -1);
        std::string_view name = BytesBetween(p + 1, keyEnd - 1);
        p = keyEnd;
        dests.strings.emplace(name, p);
        // Step over the value: a reference, null, an array or a dictionary.
        if (!SkipWhiteAndComments(p, end)) return Fail(job, kValueEnd, -1);
        if (IsDigit(*p)) {
            int32_t number, generation;
            const PartFault fault = ReadReferenceValue(p, end, number, generation);
            if (fault == PartFault::Number || fault == PartFault::Generation) return Fail(job, kValueMalformed, -1);
            if (fault != PartFault::None) return Fail(job, kValueNoR, -1);
        } else if (StartsWith(p, end, "null")) {
            p += 4;
        } else if (*p == '[') {
            p = static_cast<Cursor>(std::memchr(p, ']', static_cast<size_t>(end - p)));
            if (!p) return Fail(job, kValueMalformed, -1);
            ++p;
        } else if (AtDict(p, end)) {
            if (!StepOverDict(p, end)) return Fail(job, kValueMalformed, -1);
        } else {
            return Fail(job, kValueMalformed, -1);
        }
    }
}

// Reads one node of the name tree: 0 for a leaf, the offset of the first byte
// inside its /Kids for an intermediate node, or a negative code. inside and
// close get the node's dictionary.
int64_t ReadNameTreeNode(Job& job, const Document& doc, int64_t offset, int32_t number, int32_t generation,
                         Cursor& inside, Cursor& close) {
    const Cursor end = doc.end();
    Cursor body = LocateObject(job, doc.start(), end, offset, number, generation);
    if (!body) return Fail(job, kNameNodeMissing);
    if (!AtDict(body, end)) return Fail(job, kNameNodeNotDict);
    close = FindDictEnd(body + 2, end);
    if (!close) return Fail(job, kNameNodeNotClosed);
    inside = body + 2;
    Cursor kids = FindKey("/Kids", inside, close);
    if (!kids) return 0;
    Cursor p = kids + 5;
    if (!SkipWhiteAndComments(p, end)) return Fail(job, kNameNodeEndAtKids);
    if (*p != '[') return Fail(job, kNameNodeKidsNotArray);
    return p + 1 - doc.start();
}

// The /Names of a leaf, when it has one.
int ReadLeaf(Job& job, const Document& doc, Cursor inside, Cursor close, NamedDests& dests, bool required) {
    Cursor names = FindKey("/Names", inside, close);
    if (!names) return required ? Fail(job, kLeafNoNames, -1) : 0;
    return ReadNamesArray(job, doc, names + 6, dests);
}

// Walks the /Kids below the root depth first from the cursor inside the
// root's /Kids. Each node is read once: a node reached again (the tree leads
// back to itself) ends the walk with kNameTreeLoop.
int WalkNameTree(Job& job, const Document& doc, Cursor cur, NamedDests& dests) {
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
        const int kid =
            NextKid(job, cur, end, {kDestsEndReached, kNameKidsNotClosed}, !stack.empty(), number, generation);
        if (kid < 0) return -1;
        if (kid == 0) {
            if (stack.empty()) return 0;
            cur = stack.back();
            stack.pop_back();
            step();
            continue;
        }
        step();
        int64_t offset = LookupXref(job, doc.table, number, generation);
        if (offset < 0) return Fail(job, kNameKidNotListed, -1);
        if (seen.Find(number) >= 0) return Fail(job, kNameTreeLoop, -1);
        seen.Insert(number, 1);
        Cursor inside, close;
        int64_t r = ReadNameTreeNode(job, doc, offset, number, generation, inside, close);
        if (r < 0) return Fail(job, kNameKidUnreadable, -1);
        if (r > 0) {
            stack.push_back(cur);
            cur = doc.start() + r;
        } else if (ReadLeaf(job, doc, inside, close, dests, false) < 0) {
            return -1;
        }
    }
    job.LastError = 0;
    return -1;
}

}  // namespace

int ReadDestsNameTree(Job& job, const Document& doc, Cursor catalog, Cursor catalogEnd, NamedDests& dests) {
    Cursor inside, close;
    int r = EntryDict(job, doc, catalog, catalogEnd, "/Names", false, inside, close);
    if (r > 0) r = EntryDict(job, doc, inside, close, "/Dests", true, inside, close);
    if (r <= 0) return r;

    Cursor kids = FindKey("/Kids", inside, close);
    if (!kids) return ReadLeaf(job, doc, inside, close, dests, true);
    const Cursor end = doc.end();
    Cursor p = kids + 5;
    if (!SkipWhiteAndComments(p, end) || *p != '[') return Fail(job, kNameKidsNotArray, -1);
    return WalkNameTree(job, doc, p + 1, dests);
}

int ReadDestsDictionary(Job& job, const Document& doc, Cursor catalog, Cursor catalogEnd, NamedDests& dests) {
    const Cursor end = doc.end();
    Cursor p, close;
    if (int r = EntryDict(job, doc, catalog, catalogEnd, "/Dests", false, p, close); r <= 0) return r;
    for (;;) {
        if (!SkipWhiteAndComments(p, end)) return Fail(job, kDestsEndReached, -1);
        if (p >= close || *p == '>') return 0;
        if (*p != '/') return Fail(job, kDestsKeyNotName, -1);
        Cursor nameEnd = p + 1;
        while (nameEnd < end && !IsNumberTerminator(*nameEnd)) ++nameEnd;
        std::string_view name = BytesBetween(p + 1, nameEnd);

        // The value as written, and where the scan goes on after it.
        Cursor value = nameEnd, after = nullptr;
        int resolved = ResolveValue(job, doc, value, kEntryCodes, nullptr, &after);
        if (resolved < 0) return -1;
        Cursor dest = value;
        if (AtDict(value, end)) {
            Cursor dictEnd = FindDictEnd(value + 2, end);
            Cursor d = dictEnd ? FindKey("/D", value + 2, dictEnd) : nullptr;
            if (!d) return Fail(job, kDestDictNoD, -1);
            if (!resolved) after = dictEnd + 2;
            dest = d + 2;
            if (ResolveValue(job, doc, dest, kEntryCodes) < 0) return -1;
        }
        NamedDests::Target target;
        if (StartsWith(dest, end, "null")) {
            if (!after) after = dest + 4;
        } else if (*dest == '[') {
            ExplicitDest explicitDest;
            if (!ReadExplicitDest(dest, end, explicitDest)) return Fail(job, kDestArrayMalformed, -1);
            target = {explicitDest.page, explicitDest.view, explicitDest.viewLength};
            if (!after) after = explicitDest.after;
        } else {
            return Fail(job, kDestNotArray, -1);
        }
        dests.names.emplace(name, target);
        job.LastError = 0;
        p = after;
    }
}

bool ReadNamedValue(Job& job, const Document& doc, Cursor p, NamedDests::Target& target) {
    const Cursor end = doc.end();
    bool ok = ResolveValue(job, doc, p, kEntryCodes) >= 0;
    if (ok && AtDict(p, end)) {
        Cursor close = FindDictEnd(p + 2, end);
        Cursor d = close ? FindKey("/D", p + 2, close) : nullptr;
        p = d ? d + 2 : nullptr;
        ok = p && ResolveValue(job, doc, p, kEntryCodes) >= 0;
    }
    job.LastError = 0;
    ExplicitDest dest;
    if (!ok || !ReadExplicitDest(p, end, dest)) return false;
    target = {dest.page, dest.view, dest.viewLength};
    return true;
}

}  // namespace brisel
