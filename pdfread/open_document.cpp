#include "pdfread/open_document.h"

#include "base/job_host.h"
#include "base/texts.h"
#include "pdfread/read_xref.h"
#include "pdfread/repair.h"
#include "pdfread/xref_stream.h"

namespace brisel {

namespace {

struct Ladder {
    Job& job;
    Block& image;
    XrefTable& table;
    ReaderRecord& reader;
    const OpenOptions& options;

    void Status(Text text) {
        if (options.showProgress) ShowStatus(job, text, 10);
    }
    bool Read() { return ReadXref(job, image.data(), image.data() + image.size(), table, reader) != 0; }
    bool NeedsStreams() const { return options.rewriteStreams && reader.xrefStreams; }
    // The rewrite that fits what the last read found: object streams are
    // unpacked, a damaged classic file is rebuilt. Returns its result.
    int Rewrite(bool rebuild) {
        job.LastError = 0;
        if (NeedsStreams()) return NormaliseXrefStreams(job, image, table, reader, options.streamDecryption);
        if (rebuild) return RebuildClassic(job, image);
        return 0;
    }
    // After a rewrite: the stop code, or the result of a refused file, or 0
    // to go on.
    int AfterRewrite(int rewritten) {
        Status(Text::Analyzing);
        table.Clear();
        if (job.Stopped()) return job.StopCode;
        if (reader.refused) return rewritten == kOpenRefused ? kOpenRefused : kOpenFailed;
        return 0;
    }
};

}  // namespace

int OpenDocument(Job& job, Block& image, XrefTable& table, ReaderRecord& reader, const OpenOptions& options) {
    Ladder ladder{job, image, table, reader, options};
    ladder.Status(Text::Analyzing);
    const bool read = ladder.Read();
    const bool encrypted = options.unlock && reader.encryptKey != ReaderRecord::kNone;
    if (read && !ladder.NeedsStreams() && !(encrypted && options.unlockReadable)) return 0;

    if (job.Stopped()) return job.StopCode;
    if (encrypted) {
        reader.encrypted = true;
        if (int r = options.unlock->Unlock(job, image, table, reader)) {
            if (job.Stopped()) return job.StopCode;
            return r == kOpenRefused ? kOpenRefused : kOpenFailed;
        }
    }

    ladder.Status(Text::Analyzing);
    // An encrypted classic file has already been rewritten by the unlock.
    if (int r = ladder.AfterRewrite(ladder.Rewrite(!encrypted))) return r;
    if (ladder.Read() && !ladder.NeedsStreams()) return 0;

    ladder.Status(Text::Repairing);
    if (int r = ladder.AfterRewrite(ladder.Rewrite(true))) return r;
    if (!ladder.Read()) return job.Stopped() ? job.StopCode.load() : static_cast<int>(kOpenFailed);
    return 0;
}

}  // namespace brisel
