// Reading the encryption dictionary into the reader record's security state. Nothing here judges
// the values; the password step does.
#pragma once

#include <cstdint>

#include "base/job.h"
#include "pdfread/lexer.h"
#include "pdfread/reader_record.h"
#include "pdfread/xref_table.h"

namespace brisel {

// Codes of the encryption dictionary readers.
enum EncryptDictCode : int32_t {
    kEncryptNotDict = -103,
    kEncryptNotClosed = -104,  // or /CF or one of its filters not a dictionary
    kEncryptKeyMissing = -105,
    kEncryptPastEnd = -106,    // a string or the /Filter name
    kEncryptFilterNotName = -107,
    kEncryptNoNumber = -121,   // object number or generation missing
    kEncryptEndInSpace = -122,
    kEncryptNoR = -123,
    kEncryptNoObj = -8001,
    kEncryptObjectMissing = -125,
};

// From reader.encryptKey (the "/Encrypt" key of a classic trailer): follows
// the reference (or takes the direct dictionary) and reads the dictionary.
// 0 on success; 1 when the value is neither (nothing read); -1 without
// /Encrypt; otherwise the failure.
Result<int> ReadEncryptReference(Cursor start, Cursor end, const XrefTable& table, ReaderRecord& reader);

// Reads the dictionary of the object at offset ("N G obj << ... >>"). The
// caller has stored the object number in s.EncryptNumber. No failure, or
// why not (an EncryptDictCode).
Failure ReadEncryptObject(Cursor start, Cursor end, int64_t offset, SecurityState& s);

// Reads the dictionary that starts at cursor ("<<"). No failure, or why not.
Failure ReadEncryptDictionary(Cursor cursor, Cursor end, SecurityState& s);

}  // namespace brisel
