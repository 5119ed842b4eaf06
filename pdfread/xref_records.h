// The cross-reference records of a file that uses cross-reference streams,
// one per object number, and the state of its rewrite into a classic image.
// The security handler's decrypting object copier works on these too.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "pdfread/classic_section.h"
#include "pdfread/image_buffer.h"
#include "pdfread/lexer.h"
#include "pdfread/reader_record.h"
#include "pdfread/stream_decryption.h"

namespace brisel {

// The entry type of the newest stream that lists an object, as the stream
// gives it (any other type byte is kept as it stands).
enum RecordType : uint8_t {
    kRecordFree = 0,
    kRecordInFile = 1,
    kRecordCompressed = 2,
    kRecordUnset = 255,  // no cross-reference stream has set the record
};

// One object number's record. Its two fields mean different things as the
// record goes through its states; they are read and written only through
// the accessors named for the state:
//   stands in the input (kRecordInFile, or kRecordUnset holding a classic
//   offset): Offset() and Generation();
//   compressed (kRecordCompressed, not yet unpacked): Stream(), the number of
//   its object stream, and Index(), its place there;
//   written into the new image (unpacked, carried over, and every record
//   once the rewrite is finished): Offset() in the new image and Generation().
// Offsets are 64-bit (inputs over 2 GiB); the fields are ordered so that a
// record takes 24 bytes.
struct XrefRecord {
    bool holdsObjects = false;    // an object stream that holds compressed objects
    uint8_t type = kRecordUnset;  // a RecordType

private:
    int32_t second_ = 0;

public:
    int64_t newOffset = 0;  // offset in the new image, kept up to date during the rewrite

    int64_t Offset() const { return first_; }
    int32_t Generation() const { return second_; }
    void SetPlace(int64_t offset, int32_t generation) {
        first_ = offset;
        second_ = generation;
    }
    void MoveTo(int64_t offset) { first_ = offset; }

    int64_t Stream() const { return first_; }
    int32_t Index() const { return second_; }

    // The second and third fields of a stream's row as they stand: which
    // pair they are depends on the type the row gives.
    void SetRowFields(int64_t field2, int32_t field3) {
        first_ = field2;
        second_ = field3;
    }

private:
    int64_t first_ = 0;
};
static_assert(sizeof(XrefRecord) <= 24);

// A record filled from the classic table of a hybrid file that no stream
// has replaced: it still holds the classic offset.
inline bool HasClassicOffset(const XrefRecord& r) { return r.type == kRecordUnset && r.Offset() > 0; }

// An object that stands in the input as it is (at Offset(), with
// Generation()): listed in use by a stream, or by a hybrid file's table.
inline bool StandsInFile(const XrefRecord& r) { return r.type == kRecordInFile || HasClassicOffset(r); }

// What the cross-reference stream dictionaries (and a hybrid file's trailer)
// say, newest first.
struct StreamTrailer {
    bool sizeRead = false;
    int32_t size = 0;  // the first /Size read: the rows of a stream without /Index
    int32_t rootNumber = 0, rootGeneration = 0;
    int32_t infoNumber = 0, infoGeneration = 0;
    // The records of the numbers the entries name, grown as they name
    // higher ones: a /Size far above the objects costs nothing, and one
    // below them (a writer that counted its entries) loses none.
    std::vector<XrefRecord> records;
    int64_t named = 0;  // calls of Grow: the entries named so far

    // The record of a number an entry names, made when not yet made. null
    // for a number beyond what any file may list, or so far beyond the
    // entries named that its record would cost what they do many times
    // over (the records are as many as the highest number): a few objects
    // may be numbered in the millions, not a hostile few in the tens of
    // millions.
    XrefRecord* Grow(int64_t number) {
        ++named;
        if (number < 0 || number >= kMaxListedObjects) return nullptr;
        if (number >= static_cast<int64_t>(records.size())) {
            if (number > 4 * named + kSparseNumbers) return nullptr;
            const int64_t doubled = std::max<int64_t>(2 * static_cast<int64_t>(records.size()), number + 1);
            records.resize(static_cast<size_t>(std::min<int64_t>(doubled, kMaxListedObjects)));
        }
        return &records[static_cast<size_t>(number)];
    }
    Cursor encryptKey = nullptr;  // the first /Encrypt key read

    // The record of an object number, or null outside the records.
    XrefRecord* Record(int64_t number) {
        return number >= 0 && number < static_cast<int64_t>(records.size()) ? &records[static_cast<size_t>(number)]
                                                                             : nullptr;
    }
    const XrefRecord* Record(int64_t number) const { return const_cast<StreamTrailer*>(this)->Record(number); }
};

// Codes of the rewrite of cross-reference streams into a new image.
enum RewriteCode : int32_t {
    kRewriteNoObjStmEnd = -5052,   // no "endobj" after an object stream's data
    kRewriteNotDecrypted = -5051,  // an object stream's data cannot be decrypted
    kRewriteNoMemory = -51,
    kRewriteNoImage = -52,
    kRewriteImageFull = -53,
    kRewriteBadPairNumber = -5053,  // in an object stream's header
    kRewriteSectionFull = -54,    // also the last object of an object stream
    kRewriteBadPairOffset = -5054,
    kRewriteNoEncryptObject = -5055,
};

// The rewrite in progress: the input image, its records, the new image and
// the first input byte not yet carried over.
struct StreamRewrite {
    StreamRewrite(Cursor imageStart, Cursor imageEnd, ReaderRecord& record)
        : start(imageStart), end(imageEnd), reader(record), readPos(imageStart), setAside(imageStart) {}

    Cursor start, end;
    ReaderRecord& reader;
    StreamTrailer trailer;
    ImageBuffer out;
    Cursor readPos;
    Cursor setAside;  // the input before it is copied and given back
    // The objects that stand in the file, in offset order, and the next of
    // them to carry over.
    std::vector<int32_t> inFileOrder;
    size_t inFileNext = 0;
    // What opens an encrypted file; null for a reader that decrypts nothing.
    StreamDecryption* decryption = nullptr;
    // The file is encrypted and the key is known: objects are decrypted as
    // they are carried over.
    bool decrypt = false;
    // A repair without cross-reference streams: every object of an object
    // stream that no object in the file stands for is unpacked (a later
    // stream's copy over an earlier one's).
    bool adoptUnlisted = false;
};

}  // namespace brisel
