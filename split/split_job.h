// The split job: one run over one input file, from reading to the last
// output file and the result code.
#pragma once

#include <string>
#include <vector>

#include "base/job.h"
#include "split/output_naming.h"
#include "split/page_range.h"
#include "split/part_plan.h"

namespace brisel {

// Result codes of a split job.
enum SplitResult : int {
    kResultDone = 0,
    kResultOnePage = 3,
    kResultCannotCreate = 4,
    kResultBadPageRange = 5,
    // Every page file was written, but some lack objects the input does not
    // hold (a damaged or cut-short file): job.IncompletePages names them.
    kResultIncomplete = 6,
    kResultAlreadyTold = 10,
    kResultBreak = kStopRequested,
    kResultFailed = -1,
};

// LastError of a job whose page file could not be written.
enum SaveCode : int32_t { kPageFileNotWritten = -4000 };

// One file of a plan: its path, its pages (1-based) and the title of the
// bookmark that starts it (UTF-8, empty when none).
struct PlannedFile {
    std::string path;
    std::vector<int32_t> pages;
    std::string title;
    bool exists = false;       // skipped (Skip) or replaced (Replace)
    bool oversized = false;    // one page alone larger than the size limit
    int64_t bytes = -1;        // its size when the plan measured it
};

// The command line's choices beyond those of the Windows program, and what
// the job tells back about them.
struct SplitChoices {
    std::vector<PageSpan> pages;  // --pages; empty: job.FirstPage to job.LastPage
    bool onePageInputs = false;   // a one-page input gives its page file
    IfExists ifExists = IfExists::Rename;
    bool dryRun = false;          // plan, write nothing
    // Filled by the job.
    std::string why;                  // why the pages could not be chosen
    std::vector<PlannedFile> plan;    // every file planned, in order
    std::string takenName, usedName;  // Rename: the first name taken, and the one used instead
    int32_t skipped = 0;              // Skip: files that exist and were left
};

// Writes every page of the input into its own file beside the input.
int SplitAllPages(Job& job, const std::string& inputPath);

// Writes the pages job.FirstPage to job.LastPage (0 = first / last page),
// into app.SaveFolder when app.IsSaveFolder is on, with the input's file
// times when app.IsSameDate is on.
int SplitPageRange(Job& job, const std::string& inputPath);

// Writes parts of several pages, as the request plans them, each into one
// file; with range, only the pages job.FirstPage to job.LastPage are written
// (the parts are made from those) and the page-range settings apply.
int SplitParts(Job& job, const std::string& inputPath, bool range, const PartRequest& request);

// The same with the command line's choices; request null: one file a page.
int SplitWithChoices(Job& job, const std::string& inputPath, bool range, const PartRequest* request,
                     SplitChoices& choices);

// The second line of a job's result message, when the job knows more than
// its code: which pages are incomplete, which page file could not be written
// and why, why the input could not be read. Empty otherwise.
std::string ResultDetail(const Job& job, int result);

// A note for a job that wrote page files under other names than those chosen
// (other programs took them meanwhile); empty when it did not.
std::string RenamedNote(const Job& job);

}  // namespace brisel
