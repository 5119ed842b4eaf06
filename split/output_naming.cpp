#include "split/output_naming.h"

#include "base/platform.h"

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
}

std::string OutputNaming::NameWith(const std::string& discriminator, int32_t page) const {
    std::string name = base_ + discriminator;
    name.append(static_cast<size_t>(DecimalDigits(pageCount_) - DecimalDigits(page)), '0');
    name += std::to_string(page);
    name += ".pdf";
    return name;
}

std::string OutputNaming::PathFor(int32_t page) const { return NameWith(discriminator_, page); }

namespace {

// The discriminators in the order they are tried: empty; "0".."9";
// "00".."99"; "000".."999".
constexpr int kDiscriminators = 1 + 10 + 100 + 1000;

std::string DiscriminatorAt(int place) {
    int width = 0, limit = 1;
    while (place >= limit && width < 3) {
        place -= limit;
        ++width;
        limit *= 10;
    }
    std::string text = width ? std::to_string(place) : "";
    text.insert(0, static_cast<size_t>(width) - text.size(), '0');
    return text;
}

}  // namespace

std::string OutputNaming::AlternativePath(int32_t page, int attempt) const {
    if (attempt < 1 || chosen_ + attempt >= kDiscriminators) return "";
    std::string name = NameWith(DiscriminatorAt(chosen_ + attempt), page);
    return PathLength(name) > kMaxPathLength ? "" : name;
}

bool OutputNaming::Choose(Job& job, int32_t pageCount, int32_t first, int32_t last) {
    pageCount_ = pageCount;
    for (int place = 0; place < kDiscriminators; ++place) {
        const std::string candidate = DiscriminatorAt(place);
        if (PathLength(NameWith(candidate, pageCount)) > kMaxPathLength) {
            job.LastError = kNoFreeName;
            return false;
        }
        bool taken = false;
        for (int32_t index = first; index < last && !taken; ++index) {
            if (job.Stopped()) return false;
            taken = NameTaken(NameWith(candidate, index + 1));
        }
        if (!taken) {
            discriminator_ = candidate;
            chosen_ = place;
            return true;
        }
    }
    job.LastError = kNoFreeName;
    return false;
}

}  // namespace brisel
