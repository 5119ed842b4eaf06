// The split job: one run over one input file, from reading to the last
// output file and the result code.
#pragma once

#include <string>
#include <vector>
#include "base/job.h"
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

// Pages (ascending) as runs: "130-2000" for a run, "7" for one page, the
// runs joined by the separator.
std::string PageRanges(const std::vector<int32_t>& pages, const char* separator = ", ");

// The second line of a job's result message, when the job knows more than
// its code: which pages are incomplete, which page file could not be written
// and why, why the input could not be read. Empty otherwise.
std::string ResultDetail(const Job& job, int result);

// A note for a job that wrote page files under other names than those chosen
// (other programs took them meanwhile); empty when it did not.
std::string RenamedNote(const Job& job);

// A note for a job whose page files were written from damaged input
// (repaired streams) or keep resources their pages may not use; empty when
// every page file was written clean.
std::string RepairNote(const Job& job);

}  // namespace brisel
