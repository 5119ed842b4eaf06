// Output file names: the input's name, "-", a discriminator that keeps
// existing files from being overwritten, and the page number padded with
// zeros to the width of the page count.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/job.h"
#include "split/part_plan.h"

namespace brisel {

// What to do with a page file whose name exists: take the next
// discriminator (Rename), put the new file in its place whole (Replace),
// keep it and write the others (Skip), or write nothing (Fail).
enum class IfExists { Rename, Replace, Skip, Fail };

// Choose's codes.
enum NamingCode : int32_t { kNoFreeName = -2000, kNameTaken = -2001 };

class OutputNaming {
public:
    // Base path from the input path, or from the save folder and the input's
    // file title.
    void SetBase(const std::string& inputPath, bool useSaveFolder, const std::string& saveFolder);
    // Names from a pattern (see name_pattern.h) in the base path's folder
    // instead of the base path's own names; empty keeps those.
    void SetPattern(const std::string& pattern) { pattern_ = pattern; }
    const std::string& base() const { return base_; }
    // Names that exist: with Rename (the default) the next discriminator is
    // chosen; with Replace and Skip the names stay and Taken() tells which
    // exist; with Fail the first taken name fails the choice (kNameTaken).
    void SetIfExists(IfExists ifExists) { ifExists_ = ifExists; }
    // Whether the name of file k (a page or part in the order chosen) existed
    // when it was chosen (Replace and Skip).
    bool Taken(size_t k) const { return k < taken_.size() && taken_[k]; }

    // Chooses the first discriminator under which no page in [first, last)
    // (0-based) names an existing file (or a symbolic link, even a dangling
    // one). false with LastError kNoFreeName when
    // none is free or the names would not fit the platform's path limit; false
    // without a code when the job was stopped. Names from a pattern are
    // exact: when one is taken, false with LastError kNameTaken and that
    // name in job.OutputPath.
    bool Choose(Job& job, int32_t pageCount, int32_t first, int32_t last);

    // The same for parts: no name of a part may exist. titles holds the
    // file-name form of each part's bookmark title (for "%t"), or is empty.
    bool ChooseParts(Job& job, int32_t pageCount, const std::vector<Part>& parts,
                     const std::vector<std::string>& titles = {});

    // The full name of 1-based page p.
    std::string PathFor(int32_t page) const;
    // The full name of part k of ChooseParts: the page's own name for a part
    // of one page, else both page numbers padded and joined by "-".
    std::string PathForPart(size_t k) const;
    // The name of the file of page index (0-based; for parts, the part that
    // starts there) under the attempt-th discriminator after the chosen one,
    // for a file whose name another program took after it was chosen; empty
    // when the discriminators are used up, the name would not fit, or the
    // names come from a pattern.
    std::string AlternativePath(int32_t index, int attempt) const;
    const std::string& discriminator() const { return discriminator_; }
    // The names without a discriminator, for the note that they were taken.
    std::string PlainPathFor(int32_t page) const { return NameWith("", page); }
    std::string PlainPathForPart(size_t k) const { return PartNameWith("", k); }

private:
    std::string NameWith(const std::string& discriminator, int32_t page) const;
    std::string PartNameWith(const std::string& discriminator, size_t k) const;
    // The first discriminator under which none of the count names that
    // nameOf(discriminator, k) gives exists; longest is the longest name.
    // With a pattern the names are exact: none of them may exist.
    template <class NameOf>
    bool ChooseAmong(Job& job, int32_t count, const std::string& longest, NameOf nameOf);
    std::string base_;
    std::string folder_;  // the base path's folder, with its separator
    std::string title_;   // the input's name without ".pdf"
    std::string pattern_;
    std::string discriminator_;
    int chosen_ = 0;  // the discriminator's place among all of them
    int32_t pageCount_ = 0;
    std::vector<Part> parts_;
    std::vector<std::string> partTitles_;
    IfExists ifExists_ = IfExists::Rename;
    std::vector<bool> taken_;
};

// Number of decimal digits of a positive value (1 for 0).
int DecimalDigits(int64_t value);

}  // namespace brisel
