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

// Choose's code.
enum NamingCode : int32_t { kNoFreeName = -2000 };

class OutputNaming {
public:
    // Base path from the input path, or from the save folder and the input's
    // file title.
    void SetBase(const std::string& inputPath, bool useSaveFolder, const std::string& saveFolder);
    const std::string& base() const { return base_; }

    // Chooses the first discriminator under which no page in [first, last)
    // (0-based) names an existing file. false with LastError kNoFreeName when
    // none is free or the names would not fit the platform's path limit; false
    // without a code when the job was stopped.
    bool Choose(Job& job, int32_t pageCount, int32_t first, int32_t last);

    // The same for parts: no name of a part may exist.
    bool ChooseParts(Job& job, int32_t pageCount, const std::vector<Part>& parts);

    // The full name of 1-based page p.
    std::string PathFor(int32_t page) const;
    // The full name of the part of 1-based pages first to last: the page's
    // own name for one page, else both numbers padded and joined by "-".
    std::string PathForPart(int32_t first, int32_t last) const;
    const std::string& discriminator() const { return discriminator_; }

private:
    std::string NameWith(const std::string& discriminator, int32_t page) const;
    std::string PartNameWith(const std::string& discriminator, int32_t first, int32_t last) const;
    // The first discriminator under which none of the count names that
    // nameOf(discriminator, k) gives exists; longest is the longest name.
    template <class NameOf>
    bool ChooseAmong(Job& job, int32_t count, const std::string& longest, NameOf nameOf);
    std::string base_;
    std::string discriminator_;
    int32_t pageCount_ = 0;
};

// Number of decimal digits of a positive value (1 for 0).
int DecimalDigits(int64_t value);

}  // namespace brisel
