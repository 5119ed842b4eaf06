#include "pdfread/open_document.h"

#include <algorithm>
#include <cstring>

#include "base/job_host.h"
#include "base/texts.h"
#include "pdfread/read_xref.h"
#include "pdfread/repair.h"
#include "pdfread/stream_decode.h"
#include "pdfread/xref_stream.h"

namespace brisel {

namespace {

struct Ladder {
    Job& job;
    Block& image;
    XrefTable& table;
    ReaderRecord& reader;
    const OpenOptions& options;
    bool repairing = false;
    // The image holds no encrypted data any more: it was unlocked, or
    // rewritten from its streams (decrypted where they named /Encrypt). A
    // repair decrypts only an image that is not yet plain.
    bool plain = false;
    // Why the last read or rewrite failed; empty where a step above the
    // reader (the unlock, the password) ended the open and told why.
    Failure failure;

    StreamDecryption* RepairDecryption() const { return plain ? nullptr : options.streamDecryption; }

    void Status(Text text) {
        if (options.showProgress) ShowStatus(job, text, 10);
    }
    bool Read() {
        failure = ReadXref(job, image.data(), image.data() + image.size(), table, reader);
        return !failure;
    }
    bool NeedsStreams() const { return options.rewriteStreams && reader.xrefStreams; }
    // The rewrite that fits what the last read found: object streams are
    // unpacked, a damaged classic file is rebuilt. Returns its result.
    int Rewrite(bool rebuild) {
        const Failure f = RewriteOnce(rebuild);
        // A positive code is the security step's: it told why itself.
        failure = f.code < 0 ? f : Failure();
        return f.code;
    }
    Failure RewriteOnce(bool rebuild) {
        if (NeedsStreams()) {
            const Failure f = NormaliseXrefStreams(job, image, table, reader, options.streamDecryption);
            plain = plain || !f;
            // The second time, a file whose streams cannot be read is rebuilt
            // from the objects found, its object streams unpacked.
            if (!f || !repairing || job.Stopped() || reader.refused) return f;
            return RebuildWithObjectStreams(job, image, reader, RepairDecryption());
        }
        // The repair unpacks the object streams it finds: a file of streams
        // may have lost the stream that lists them (a cut download).
        if (rebuild) return RebuildWithObjectStreams(job, image, reader, RepairDecryption());
        return Failure();
    }
    // After a rewrite: the stop code, or the result of a refused file, or 0
    // to go on.
    int AfterRewrite(int rewritten) {
        Status(Text::Analyzing);
        table.Clear();
        if (job.Stopped()) return job.StopCode;
        if (reader.refused) {
            job.Step = JobStep::Unlock;
            return rewritten == kOpenRefused ? kOpenRefused : kOpenFailed;
        }
        // An encrypted file whose key is lost, or a stream that inflates
        // beyond the limit, ends the open: another repair would find no
        // more, and would inflate the stream again.
        if (rewritten == kRepairKeyLost || rewritten == kRepairEncryptionLost || rewritten == kInflateTooLarge)
            return kOpenFailed;
        return 0;
    }
};

// Whether a cross-reference section or stream begins at p: "xref", or an
// object header.
bool StartsSection(Cursor p, Cursor end) {
    if (p >= end || !SkipWhiteAndComments(p, end)) return false;
    if (StartsWith(p, end, "xref")) return true;
    const bool header = ReadInt(p, end) && ReadInt(p, end) && SkipWhiteAndComments(p, end) &&
                        StartsWith(p, end, "obj");
    return header;
}

// Whether "xref" or an object header stands right at p, with no white
// space before it.
bool StartsExactly(Cursor p, Cursor end) {
    return p < end && (StartsWith(p, end, "xref") || (IsDigit(*p) && StartsSection(p, end)));
}

// Bytes put in front of "%PDF-" after the file was written (by a mail
// gateway, a download script) leave its offsets counting from the header.
// When startxref leads to a section only once shifted by the header's
// position, the bytes in front are dropped, as readers do.
void DropBytesBeforeHeader(const Job& job, Block& image) {
    const Cursor start = image.data(), end = start + image.size();
    const Cursor scanEnd = start + std::min<size_t>(image.size(), 1024);
    Cursor header = nullptr;
    for (Cursor p = start + 1; scanEnd - p >= 5 && !header; ++p)
        if (std::memcmp(p, "%PDF-", 5) == 0) header = p;
    if (!header || StartsWith(start, end, "%PDF-")) return;
    Cursor cur = end;
    if (!FindBackward(start, cur, "startxref", &job.StopCode)) return;
    cur += 9;
    const int64_t offset = ReadLong(cur, end).value_or(-1);
    if (offset < 0 || offset >= end - header) return;
    // A section met exactly at the shifted offset, and not at the offset
    // itself, settles it: a shift of a byte or two still finds the section
    // past the white space before it, and the objects past theirs.
    const bool moved = StartsExactly(header + offset, end) && !StartsExactly(start + offset, end);
    if (!moved && (StartsSection(start + offset, end) || !StartsSection(header + offset, end))) return;
    Block shifted;
    if (shifted.Assign(header, static_cast<size_t>(end - header))) image = std::move(shifted);
}

}  // namespace

OpenOutcome OpenDocument(Job& job, Block& image, XrefTable& table, ReaderRecord& reader, const OpenOptions& options) {
    DropBytesBeforeHeader(job, image);
    Ladder ladder{job, image, table, reader, options, false, false, Failure()};
    const auto end = [&](int result) { return OpenOutcome{result, result == 0 ? Failure() : ladder.failure}; };
    job.Step = JobStep::Read;
    ladder.Status(Text::Analyzing);
    const bool read = ladder.Read();
    const bool encrypted = options.unlock && reader.encryptKey != ReaderRecord::kNone;
    if (read && !ladder.NeedsStreams() && !(encrypted && options.unlockReadable)) return end(0);

    if (job.Stopped()) return end(job.StopCode);
    if (encrypted) {
        reader.encrypted = true;
        job.Step = JobStep::Unlock;
        if (int r = options.unlock->Unlock(job, image, table, reader)) {
            ladder.failure = Failure();
            if (job.Stopped()) return end(job.StopCode);
            return end(r == kOpenRefused ? kOpenRefused : kOpenFailed);
        }
        ladder.plain = true;
    }

    job.Step = JobStep::Read;
    ladder.Status(Text::Analyzing);
    // An encrypted classic file has already been rewritten by the unlock.
    if (int r = ladder.AfterRewrite(ladder.Rewrite(!encrypted))) return end(r);
    if (ladder.Read() && !ladder.NeedsStreams()) return end(0);

    ladder.Status(Text::Repairing);
    ladder.repairing = true;
    if (int r = ladder.AfterRewrite(ladder.Rewrite(true))) return end(r);
    if (!ladder.Read()) return end(job.Stopped() ? job.StopCode.load() : static_cast<int>(kOpenFailed));
    return end(0);
}

}  // namespace brisel
