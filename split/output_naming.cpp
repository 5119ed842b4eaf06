#include "split/output_naming.h"

#include "base/platform.h"
#include "split/name_pattern.h"

namespace brisel {

int DecimalDigits(int64_t value) {
    int digits = 1;
    while (value >= 10) {
        value /= 10;
        ++digits;
    }
    return digits;
}

static bool EndsWithPdf(const std::string& name) {
    if (name.size() < 5) return false;
    std::string tail = name.substr(name.size() - 4);
    for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return tail == ".pdf";
}

void OutputNaming::SetBase(const std::string& inputPath, bool useSaveFolder, const std::string& saveFolder) {
    std::string path;
    if (useSaveFolder) {
        path = saveFolder;
        if (path.empty() || path.back() != kPathSeparator) path += kPathSeparator;
        std::string title = FileTitle(inputPath);
        if (!EndsWithPdf(title)) title += ".pdf";
        path += title;
    } else {
        path = inputPath;
    }
    // The extension is cut by length: "A.PDF" gives "A-".
    base_ = path.substr(0, path.size() >= 4 ? path.size() - 4 : 0) + "-";
    title_ = FileTitle(base_);
    title_.pop_back();
    folder_ = base_.substr(0, base_.size() - title_.size() - 1);
}

std::string OutputNaming::NameWith(const std::string& discriminator, int32_t page) const {
    if (!pattern_.empty()) return folder_ + ExpandNamePattern(pattern_, {title_, page, pageCount_});
    std::string name = base_ + discriminator;
    name.append(static_cast<size_t>(DecimalDigits(pageCount_) - DecimalDigits(page)), '0');
    name += std::to_string(page);
    name += ".pdf";
    return name;
}

std::string OutputNaming::PathFor(int32_t page) const { return NameWith(discriminator_, page); }

bool OutputNaming::ChoosePatternNames(Job& job, int32_t first, int32_t last) {
    for (int32_t index = first; index < last; ++index) {
        if (job.Stopped()) return false;
        const std::string name = NameWith("", index + 1);
        if (PathLength(name) > kMaxPathLength) {
            job.LastError = kNoFreeName;
            return false;
        }
        if (PathExists(name)) {
            job.OutputPath = name;
            job.LastError = kNameTaken;
            return false;
        }
    }
    return true;
}

bool OutputNaming::Choose(Job& job, int32_t pageCount, int32_t first, int32_t last) {
    pageCount_ = pageCount;
    if (!pattern_.empty()) return ChoosePatternNames(job, first, last);
    // Candidates: empty; "0".."9"; "00".."99"; "000".."999".
    for (int width = 0, limit = 1; width <= 3; ++width, limit *= 10) {
        for (int value = 0; value < limit; ++value) {
            std::string candidate = width ? std::to_string(value) : "";
            candidate.insert(0, static_cast<size_t>(width) - candidate.size(), '0');
            if (PathLength(NameWith(candidate, pageCount)) > kMaxPathLength) {
                job.LastError = kNoFreeName;
                return false;
            }
            bool taken = false;
            for (int32_t index = first; index < last && !taken; ++index) {
                if (job.Stopped()) return false;
                taken = FileOpensForReading(NameWith(candidate, index + 1));
            }
            if (!taken) {
                discriminator_ = candidate;
                return true;
            }
        }
    }
    job.LastError = kNoFreeName;
    return false;
}

}  // namespace brisel
