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
    if (FindKey(roleKey, body + 2, dictEnd)) return true;
    Cursor key = FindKey("/Type", body + 2, dictEnd);
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

struct DictCodes {
    int notListed, notFound;
    TypeCheckCodes type;
};

// The object (number, generation), looked up in the table, located and checked
// as CheckTypedDict checks it.
bool LoadTypedDict(Job& job, Cursor start, Cursor end, const XrefTable& table, int32_t number, int32_t generation,
                   const char* typeName, const char* roleKey, const DictCodes& codes, DictObject& out) {
    int64_t offset = LookupXref(job, table, number, generation);
    if (offset < 0) return Fail(job, codes.notListed, false);
    Cursor body = LocateObject(job, start, end, offset, number, generation);
    if (!body) return Fail(job, codes.notFound, false);
    out.number = number;
    out.generation = generation;
    return CheckTypedDict(job, body, end, typeName, roleKey, codes.type, out);
}

}  // namespace

bool FindCatalog(Job& job, Cursor start, Cursor end, const XrefTable& table, int32_t rootNumber,
                 int32_t rootGeneration, DictObject& catalog) {
    return LoadTypedDict(job, start, end, table, rootNumber, rootGeneration, "/Catalog", "/Pages",
                         {kCatalogNotListed,
                          kCatalogNotFound,
                          {kCatalogNotDict, kCatalogNotClosed, kCatalogNoType, kCatalogEndAfterType, kCatalogWrongType,
                           kCatalogTypeGlued}},
                         catalog);
}

bool FindPageTreeRoot(Job& job, Cursor start, Cursor end, const XrefTable& table, const DictObject& catalog,
                      DictObject& root) {
    Cursor key = FindKey("/Pages", catalog.inside(), catalog.end);
    if (!key) {
        job.LastError = kPagesNoKey;
        return false;
    }
    Cursor p = key + 6;
    int32_t number = 0, generation = 0;
    switch (ReadReferenceValue(p, end, number, generation)) {
        case PartFault::None: break;
        case PartFault::Number: return Fail(job, kPagesNoNumber, false);
        case PartFault::Generation: return Fail(job, kPagesNoGeneration, false);
        case PartFault::End: return Fail(job, kPagesEndBeforeR, false);
        case PartFault::NoKeyword: return Fail(job, kPagesNoR, false);
    }
    return LoadTypedDict(job, start, end, table, number, generation, "/Pages", "/Kids",
                         {kPagesNotListed,
                          kPagesNotFound,
                          {kPagesNotDict, kPagesNotClosed, kPagesNoType, kPagesEndAfterType, kPagesWrongType,
                           kPagesWrongType}},
                         root);
}

}  // namespace brisel
