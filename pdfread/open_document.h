// Opening a document: the one read ladder. Reads the cross-reference data;
// when that fails, or the file uses cross-reference streams, or it is
// encrypted, unlocks, rewrites and reads again, and repairs as the last
// step. Used by the split job, the page count query and the decryption of an
// encrypted input.
#pragma once

#include "base/block.h"
#include "base/job.h"
#include "pdfread/reader_record.h"
#include "pdfread/stream_decryption.h"
#include "pdfread/xref_table.h"

namespace brisel {

// Results of OpenDocument besides 0 (opened) and the stop code.
enum OpenResult : int {
    kOpenFailed = -1,
    kOpenRefused = 10,  // the security step told the user why, or the user cancelled
};

// Opens an encrypted classic file: reads the encryption dictionary, finds
// the password and replaces the image by its decrypted form. Implemented
// above the reader, which never asks for a password.
class DocumentUnlock {
public:
    virtual ~DocumentUnlock() = default;
    // 0, kOpenRefused, or any other value for a failure.
    virtual int Unlock(Job& job, Block& image, XrefTable& table, ReaderRecord& reader) = 0;
};

struct OpenOptions {
    // Unlocks encrypted files; null: the /Encrypt key is not looked at.
    DocumentUnlock* unlock = nullptr;
    // Decrypts files with cross-reference streams while they are rewritten.
    StreamDecryption* streamDecryption = nullptr;
    // Rewrites files with cross-reference streams into classic images.
    bool rewriteStreams = true;
    // Unlocks an encrypted file even when its classic data reads well (the
    // split job does; the page count needs no plain image).
    bool unlockReadable = true;
    // Reports "Analyzing" and "Repairing" through the host.
    bool showProgress = true;
};

// What OpenDocument ends with: 0 with the image classic and readable, its
// table and its record filled; otherwise the stop code, kOpenRefused or
// kOpenFailed, with why reading failed (empty when the unlock ended the
// open: it told why itself).
struct OpenOutcome {
    int result = 0;
    Failure failure;
};

OpenOutcome OpenDocument(Job& job, Block& image, XrefTable& table, ReaderRecord& reader, const OpenOptions& options);

}  // namespace brisel
