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
        job.LastError = -111;
        return false;
    }
    Cursor body = LocateObject(job, start, end, offset, rootNumber, rootGeneration);
    if (!body) {
        job.LastError = -112;
        return false;
    }
    catalog.number = rootNumber;
    catalog.generation = rootGeneration;
    return CheckTypedDict(job, body, end, "/Catalog", "/Pages", {-113, -114, -115, -116, -117, -118}, catalog);
}

bool FindPageTreeRoot(Job& job, Cursor start, Cursor end, const XrefTable& table, const DictObject& catalog,
                      DictObject& root) {
    Cursor key = FindKey(job, "/Pages", catalog.inside(), catalog.end);
    if (!key) {
        job.LastError = -119;
        return false;
    }
    Cursor p = key + 6;
    int32_t number = 0, generation = 0;
    switch (ReadReferenceValue(job, p, end, number, generation)) {
        case PartFault::None: break;
        case PartFault::Number: return Fail(job, -120, false);
        case PartFault::Generation: return Fail(job, -121, false);
        case PartFault::End: return Fail(job, -122, false);
        case PartFault::NoKeyword: return Fail(job, -123, false);
    }
    int32_t offset = LookupXref(job, table, number, generation);
    if (offset < 0) {
        job.LastError = -124;
        return false;
    }
    Cursor body = LocateObject(job, start, end, offset, number, generation);
    if (!body) {
        job.LastError = -125;
        return false;
    }
    root.number = number;
    root.generation = generation;
    return CheckTypedDict(job, body, end, "/Pages", "/Kids", {-126, -127, -128, -129, -130, -130}, root);
}

}  // namespace brisel
