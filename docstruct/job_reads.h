// The reader's lookups for the steps that still report a failure through the
// job: each leaves the failure's code in the job, as those steps expect.
#pragma once

#include "base/job.h"
#include "pdfread/catalog.h"
#include "pdfread/read_xref.h"
#include "pdfread/xref_table.h"

namespace brisel {

inline int64_t LookupXref(Job& job, const XrefTable& table, int32_t number, int32_t generation) {
    const Result<int64_t> offset = LookupXref(table, number, generation);
    return offset ? *offset : Fail(job, offset.code());
}

inline Cursor LocateObject(Job& job, Cursor start, Cursor end, int64_t offset, int32_t number, int32_t generation) {
    const Result<Cursor> body = LocateObject(start, end, offset, number, generation);
    return body ? *body : Fail(job, body.code(), nullptr);
}

inline Cursor FindObject(Job& job, const XrefTable& table, Cursor start, Cursor end, int32_t number,
                         int32_t generation) {
    const Result<Cursor> body = FindObject(table, start, end, number, generation);
    return body ? *body : Fail(job, body.code(), nullptr);
}

inline bool FindCatalog(Job& job, Cursor start, Cursor end, const XrefTable& table, int32_t rootNumber,
                        int32_t rootGeneration, DictObject& catalog) {
    const Failure f = FindCatalog(start, end, table, rootNumber, rootGeneration, catalog);
    return f ? Fail(job, f.code, false) : true;
}

inline bool FindPageTreeRoot(Job& job, Cursor start, Cursor end, const XrefTable& table, const DictObject& catalog,
                             DictObject& root) {
    const Failure f = FindPageTreeRoot(start, end, table, catalog, root);
    return f ? Fail(job, f.code, false) : true;
}

// 1 on success, 0 on failure; the job holds the code (0 after a success).
inline int ReadXrefInto(Job& job, Cursor start, Cursor end, XrefTable& table, ReaderRecord& reader) {
    job.LastError = ReadXref(job, start, end, table, reader).code;
    return job.LastError == 0;
}

}  // namespace brisel
