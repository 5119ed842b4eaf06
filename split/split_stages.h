// The three stages of every split: open (a path or bytes), plan (which
// output file holds which pages) and write (each planned file built whole in
// memory and handed to a sink). The command line, the Windows program, the
// page count query, the library and the fuzz targets all run these.
//
// The stages read what they are asked from a SplitRequest that does not
// change while they run; what they find goes into the OpenedDocument, the
// SplitPlan and the job's outcome fields; the job's StopCode is the handle a
// caller stops them with.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/job.h"
#include "base/platform.h"
#include "base/warnings.h"
#include "base/texts.h"
#include "docstruct/document.h"
#include "pagewriter/page_spans.h"
#include "split/part_plan.h"

namespace brisel {

class InputKeyEncryption;

// Where the input comes from: a file, or bytes the caller holds (copied,
// since reading edits the image; no mapping is made).
struct InputSource {
    std::string path;             // the file, or a name for messages when bytes are given
    const uint8_t* data = nullptr;  // bytes in memory; null: read the file at path
    size_t size = 0;

    static InputSource File(const std::string& filePath) { return {filePath, nullptr, 0}; }
    static InputSource Bytes(const uint8_t* bytes, size_t length, const std::string& name = "") {
        return {name, bytes, length};
    }
    bool inMemory() const { return data != nullptr; }
};

// What a split is asked to write. Read only by the stages.
struct SplitRequest {
    // Only the pages firstPage to lastPage (1-based, 0 = first / last page,
    // swapped when reversed); the save folder and the file times of the
    // settings apply to such a split.
    bool range = false;
    int32_t firstPage = 0, lastPage = 0;
    // Only the pages of this selection (in page order; within the range
    // when one is given too); empty for all. Parts are made of the pages
    // chosen.
    std::vector<PageSpan> pages;
    // Files of several pages instead of one file per page.
    std::optional<PartRequest> parts;
    // The input's file times go to every file written (taken before the
    // input is read); a failure to take them fails the job.
    bool fileTimes = false;
    // A document of one page gives its one page file instead of
    // kResultOnePage (the library's choice; the front ends refuse it).
    bool onePageFile = false;
    // Plan and name the files, write none.
    bool dryRun = false;
};

// An input read, unlocked, analysed: what the plan and write stages work on.
struct OpenedDocument {
    Document doc;
    int32_t pageCount = 0;
    std::string path;
    bool fromFile = false;
    // The input's file times, taken before reading changed the access time
    // (only when a range split keeps them).
    std::optional<FileTimes> times;
    // Bus errors under mapped inputs when the input was read: a change means
    // it was cut short while mapped.
    uint64_t inputFaults = 0;
    // Whether PrepareFiles has run once.
    bool prepared = false;
    // The input file's state when it was read: another state later means
    // another program changed it meanwhile.
    std::optional<FileState> state;
};

// One planned output file.
struct PlannedFile {
    std::vector<int32_t> pages;  // 0-based indexes into the document's pages, in file order
    int32_t first = 0, last = 0;  // 1-based first and last page
    int32_t bookmark = -1;        // the OutlineTable index of the bookmark that starts it, -1 when none
    std::string title;            // that bookmark's title in UTF-8, empty when none
    std::string nameTitle;        // the title as a file name may hold it (for "%t")
    bool oversized = false;       // one page alone larger than the size limit
    int64_t bytes = -1;           // its size when the plan measured it
};

struct SplitPlan {
    std::vector<PlannedFile> files;
    // Files of several pages (parts): links between their pages stay, and
    // their names carry both page numbers.
    bool partFiles = false;
    // Name the files, write none.
    bool dryRun = false;
    // Why the pages asked for could not be chosen (a page the document
    // lacks), in the job's language; empty otherwise.
    std::string why;
};

// Where the write stage hands each file once it is built whole.
class FileSink {
public:
    virtual ~FileSink() = default;
    // Before the first file: names, folders. 0, or the job's result.
    virtual int Begin(Job& job, const OpenedDocument& opened, const SplitPlan& plan) = 0;
    // The name shown while file k is built (job.OutputPath); may be empty.
    virtual std::string NameOf(size_t k) const = 0;
    // Whether file k is left out unbuilt (its file exists and is kept).
    virtual bool Skip(size_t) { return false; }
    // Takes the bytes of file k; it may swap them out of bytes (bytes keeps
    // a buffer whose capacity is reused). spans: the data of its large
    // streams, left out of bytes, for a sink that TakesSpans (empty for
    // another). false ends the write.
    virtual bool Take(Job& job, size_t k, const PlannedFile& file, std::string& bytes, PageSpans& spans) = 0;
    // Whether the sink writes large streams from the input in pieces (see
    // page_spans.h); else bytes hold every byte of a file.
    virtual bool TakesSpans() const { return false; }
    // After the last file (or the one that ended the write): 0, or the job's
    // result for files that could not be delivered, whose warnings it drops.
    virtual int Finish(Job& job, size_t taken, WarningList& warnings) = 0;
};

// Opens the input: reads it (or copies the bytes), unlocks it through the
// job's password loop, analyses and, where needed, repairs it. 0, or the
// job's result. With count, only what the page count needs is done: a
// readable encrypted input is not unlocked and the viewer settings play no
// part.
int OpenStage(Job& job, const InputSource& source, const SplitRequest& request, OpenedDocument& opened,
              bool count = false);

// The files the request asks for, from the opened document; confirms a
// large number of files with the host when the settings ask for it. 0, or
// the job's result.
// Parts under a size are measured by building them, after PrepareFiles.
int PlanStage(Job& job, OpenedDocument& opened, const SplitRequest& request, SplitPlan& plan);

// Builds the planned files into bytes. A planner that weighs candidate
// files (by their size) builds them through this too; Prepare must have
// run on the document first.
class FileBuilder {
public:
    explicit FileBuilder(const OpenedDocument& opened);
    ~FileBuilder();
    FileBuilder(const FileBuilder&) = delete;
    FileBuilder& operator=(const FileBuilder&) = delete;
    // The file into out, and into found (when given) the damage its writing
    // met; the failure (the job's stop code when it was stopped).
    Failure Build(Job& job, const PlannedFile& file, bool partFile, std::string& out, WarningList* found = nullptr,
               PageSpans* spans = nullptr);

private:
    const OpenedDocument& opened_;
    std::unique_ptr<InputKeyEncryption> encryption_;
};

// What the files of a plan need from the document before they are built:
// annotations blanked or filtered, links between the pages of one file,
// the structure tree. Runs once per document.
void PrepareFiles(Job& job, OpenedDocument& opened, const SplitPlan& plan);

// Prepares, builds each planned file and hands it to the sink. The job's
// result: kResultDone, kResultIncomplete when some files lack objects the
// input does not hold, or the failure.
int WriteStage(Job& job, OpenedDocument& opened, const SplitPlan& plan, FileSink& sink);

// The three stages in a row with the given sink; what the document
// survived goes to job.Warnings and job.IncompletePages.
// planOut, when given, receives the plan.
int RunStages(Job& job, const InputSource& source, const SplitRequest& request, FileSink& sink,
              SplitPlan* planOut = nullptr);

// Clears what a job must not inherit from an earlier one.
void ResetJob(Job& job);

// Opens the document's image (OpenDocument with the job's password loop)
// until it is a readable classic image. 0 when it is, else the job's result
// code.
int ReadUntilClassic(Job& job, Document& doc);

// AnalyzeDocument on an opened document. When it fails (an object is not
// where the table says, a /Prev loop left sections out, no trailer names
// /Root), or when entries point at no object and the repair finds one of
// those objects elsewhere, the document is repaired, read again and
// analysed again, once. The page count, or the failure (the job's stop code
// when it was stopped).
Result<int32_t> AnalyzeOrRepair(Job& job, Document& doc, bool showProgress);

}  // namespace brisel
