// Output file names: the input's name, "-", a discriminator that keeps
// existing files from being overwritten, and the page number padded with
// zeros to the width of the page count.
#pragma once

#include <cstdint>
#include <string>

#include "base/job.h"

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
    // (0-based) names an existing file (or a symbolic link, even a dangling
    // one). false with LastError kNoFreeName when
    // none is free or the names would not fit the platform's path limit; false
    // without a code when the job was stopped.
    bool Choose(Job& job, int32_t pageCount, int32_t first, int32_t last);

    // The full name of 1-based page p.
    std::string PathFor(int32_t page) const;
    // The name of page p under the attempt-th discriminator after the chosen
    // one, for a page whose name another program took after it was chosen;
    // empty when the discriminators are used up or the name would not fit.
    std::string AlternativePath(int32_t page, int attempt) const;
    const std::string& discriminator() const { return discriminator_; }

private:
    std::string NameWith(const std::string& discriminator, int32_t page) const;
    std::string base_;
    std::string discriminator_;
    int chosen_ = 0;  // the discriminator's place among all of them
    int32_t pageCount_ = 0;
};

// Number of decimal digits of a positive value (1 for 0).
int DecimalDigits(int64_t value);

}  // namespace brisel
