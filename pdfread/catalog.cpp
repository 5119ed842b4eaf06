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
Failure CheckTypedDict(Cursor body, Cursor end, const char* typeName, const char* roleKey,
                       const TypeCheckCodes& codes, DictObject& out) {
    if (!StartsWith(body, end, "<<")) return Failure(codes.notDict);
    Cursor dictEnd = FindDictEnd(body + 2, end);
    if (!dictEnd) return Failure(codes.notClosed);
    out.body = body;
    out.end = dictEnd;
    if (FindKey(roleKey, body + 2, dictEnd)) return Failure();
    Cursor key = FindKey("/Type", body + 2, dictEnd);
    if (!key) return Failure(codes.noType);
    Cursor p = key + 5;
    if (!SkipWhiteAndComments(p, end)) return Failure(codes.endAfterType);
    size_t n = std::strlen(typeName);
    if (!StartsWith(p, end, typeName)) return Failure(codes.wrongName);
    if (p + n < end && !IsNumberTerminator(p[n])) return Failure(codes.noTerminator);
    return Failure();
}

struct DictCodes {
    int notListed, notFound;
    TypeCheckCodes type;
};

// The object (number, generation), looked up in the table, located and checked
// as CheckTypedDict checks it.
Failure LoadTypedDict(Cursor start, Cursor end, const XrefTable& table, int32_t number, int32_t generation,
                      const char* typeName, const char* roleKey, const DictCodes& codes, DictObject& out) {
    const Result<int64_t> offset = LookupXref(table, number, generation);
    if (!offset) return Failure(codes.notListed, number, -1);
    const Result<Cursor> body = LocateObject(start, end, *offset, number, generation);
    if (!body) return Failure(codes.notFound, number, *offset);
    out.number = number;
    out.generation = generation;
    return CheckTypedDict(*body, end, typeName, roleKey, codes.type, out).At(number, *offset);
}

}  // namespace

Failure FindCatalog(Cursor start, Cursor end, const XrefTable& table, int32_t rootNumber, int32_t rootGeneration,
                    DictObject& catalog) {
    return LoadTypedDict(start, end, table, rootNumber, rootGeneration, "/Catalog", "/Pages",
                         {kCatalogNotListed,
                          kCatalogNotFound,
                          {kCatalogNotDict, kCatalogNotClosed, kCatalogNoType, kCatalogEndAfterType, kCatalogWrongType,
                           kCatalogTypeGlued}},
                         catalog);
}

Failure FindPageTreeRoot(Cursor start, Cursor end, const XrefTable& table, const DictObject& catalog,
                         DictObject& root) {
    Cursor key = FindKey("/Pages", catalog.inside(), catalog.end);
    const auto fail = [&](int32_t code) { return Failure(code, catalog.number, -1); };
    if (!key) return fail(kPagesNoKey);
    Cursor p = key + 6;
    int32_t number = 0, generation = 0;
    switch (ReadReferenceValue(p, end, number, generation)) {
        case PartFault::None: break;
        case PartFault::Number: return fail(kPagesNoNumber);
        case PartFault::Generation: return fail(kPagesNoGeneration);
        case PartFault::End: return fail(kPagesEndBeforeR);
        case PartFault::NoKeyword: return fail(kPagesNoR);
    }
    return LoadTypedDict(start, end, table, number, generation, "/Pages", "/Kids",
                         {kPagesNotListed,
                          kPagesNotFound,
                          {kPagesNotDict, kPagesNotClosed, kPagesNoType, kPagesEndAfterType, kPagesWrongType,
                           kPagesWrongType}},
                         root);
}

}  // namespace brisel
