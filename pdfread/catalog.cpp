#include "pdfread/catalog.h"

#include <cstring>

namespace brisel {

namespace {

struct TypeCheckCodes {
    int notDict, notClosed, noType, endAfterType, wrongName, noTerminator;
};

// Checks that the body is a dictionary whose /Type is the given name. A
// dictionary without that /Type (none, or a misspelled one) is taken all
// the same when it holds the key of its role, as every reader takes it.
bool CheckTypedDict(Job& job, Cursor body, Cursor end, const char* typeName, const char* roleKey,
                    const TypeCheckCodes& codes, DictObject& out) {
    if (!StartsWith(body, end, "<<")) {
        job.LastError = codes.notDict;
        return false;
    }
    Cursor dictEnd = FindDictEnd(body + 2, end);
    if (!dictEnd) {
        job.LastError = codes.notClosed;
        return false;
    }
    out.body = body;
    out.end = dictEnd;
    if (FindKey(job, roleKey, body + 2, dictEnd)) {
        job.LastError = 0;
        return true;
    }
    Cursor key = FindKey(job, "/Type", body + 2, dictEnd);
    if (!key) {
        job.LastError = codes.noType;
        return false;
    }
    Cursor p = key + 5;
    if (!SkipWhiteAndComments(p, end)) {
        job.LastError = codes.endAfterType;
        return false;
    }
    size_t n = std::strlen(typeName);
    if (!StartsWith(p, end, typeName)) {
        job.LastError = codes.wrongName;
        return false;
    }
    if (p + n < end && !IsNumberTerminator(p[n])) {
        job.LastError = codes.noTerminator;
        return false;
    }
    job.LastError = 0;
    return true;
}

}  // namespace

bool FindCatalog(Job& job, Cursor start, Cursor end, const XrefTable& table, int32_t rootNumber,
                 int32_t rootGeneration, DictObject& catalog) {
    int32_t offset = LookupXref(job, table, rootNumber, rootGeneration);
    if (offset < 0) {
        job.LastError = kCatalogNotListed;
        return false;
    }
    Cursor body = LocateObject(job, start, end, offset, rootNumber, rootGeneration);
    if (!body) {
        job.LastError = kCatalogNotFound;
        return false;
    }
    catalog.number = rootNumber;
    catalog.generation = rootGeneration;
    return CheckTypedDict(job, body, end, "/Catalog", "/Pages",
                          {kCatalogNotDict, kCatalogNotClosed, kCatalogNoType, kCatalogEndAfterType, kCatalogWrongType,
                           kCatalogTypeGlued},
                          catalog);
}

bool FindPageTreeRoot(Job& job, Cursor start, Cursor end, const XrefTable& table, const DictObject& catalog,
                      DictObject& root) {
    Cursor key = FindKey(job, "/Pages", catalog.inside(), catalog.end);
    if (!key) {
        job.LastError = kPagesNoKey;
        return false;
    }
    Cursor p = key + 6;
    int32_t number = ReadInt(job, p, end);
    if (number < 0) {
        job.LastError = kPagesNoNumber;
        return false;
    }
    int32_t generation = ReadInt(job, p, end);
    if (generation < 0) {
        job.LastError = kPagesNoGeneration;
        return false;
    }
    if (!SkipWhiteAndComments(p, end)) {
        job.LastError = kPagesEndBeforeR;
        return false;
    }
    if (*p != 'R') {
        job.LastError = kPagesNoR;
        return false;
    }
    int32_t offset = LookupXref(job, table, number, generation);
    if (offset < 0) {
        job.LastError = kPagesNotListed;
        return false;
    }
    Cursor body = LocateObject(job, start, end, offset, number, generation);
    if (!body) {
        job.LastError = kPagesNotFound;
        return false;
    }
    root.number = number;
    root.generation = generation;
    return CheckTypedDict(job, body, end, "/Pages", "/Kids",
                          {kPagesNotDict, kPagesNotClosed, kPagesNoType, kPagesEndAfterType, kPagesWrongType,
                           kPagesWrongType},
                          root);
}

}  // namespace brisel
