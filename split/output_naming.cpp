#include "split/output_naming.h"

#include <algorithm>

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
    // ".pdf" in any letter case is cut ("A.PDF" gives "A-"); a name without
    // it is kept whole ("report" gives "report-").
    base_ = path.substr(0, EndsWithPdf(path) ? path.size() - 4 : path.size()) + "-";
    title_ = FileTitle(base_);
    title_.pop_back();
    folder_ = base_.substr(0, base_.size() - title_.size() - 1);
}

std::string OutputNaming::NameWith(const std::string& discriminator, int32_t page) const {
    if (!pattern_.empty()) return folder_ + ExpandNamePattern(pattern_, {title_, page, pageCount_, 0, ""});
    std::string name = base_ + discriminator;
    name.append(static_cast<size_t>(DecimalDigits(pageCount_) - DecimalDigits(page)), '0');
    name += std::to_string(page);
    name += ".pdf";
    return name;
}

std::string OutputNaming::PartNameWith(const std::string& discriminator, size_t k) const {
    const int32_t first = parts_[k].first + 1, last = parts_[k].last + 1;
    const std::string& bookmark = k < partTitles_.size() ? partTitles_[k] : std::string();
    if (!pattern_.empty()) return folder_ + ExpandNamePattern(pattern_, {title_, first, pageCount_, last, bookmark});
    if (first == last) return NameWith(discriminator, first);
    std::string name = NameWith(discriminator, first);
    name.resize(name.size() - 4);  // ".pdf"
    name += '-';
    name.append(static_cast<size_t>(DecimalDigits(pageCount_) - DecimalDigits(last)), '0');
    name += std::to_string(last);
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

std::string OutputNaming::AlternativePath(int32_t index, int attempt) const {
    // Names from a pattern are exact: no other name stands in for them.
    if (!pattern_.empty() || ifExists_ != IfExists::Rename || attempt < 1 || chosen_ + attempt >= kDiscriminators)
        return "";
    const std::string discriminator = DiscriminatorAt(chosen_ + attempt);
    std::string name;
    if (parts_.empty()) {
        name = NameWith(discriminator, index + 1);
    } else {
        // Parts are in page order, each keyed by its first page.
        auto part = std::lower_bound(parts_.begin(), parts_.end(), index,
                                     [](const Part& p, int32_t first) { return p.first < first; });
        if (part == parts_.end() || part->first != index) return "";
        name = PartNameWith(discriminator, static_cast<size_t>(part - parts_.begin()));
    }
    return PathLength(name) > kMaxPathLength ? "" : name;
}

std::string OutputNaming::PathForPart(size_t k) const { return PartNameWith(discriminator_, k); }

template <class NameOf>
bool OutputNaming::ChooseAmong(Job& job, int32_t count, const std::string& longest, NameOf nameOf) {
    taken_.assign(static_cast<size_t>(count), false);
    discriminator_.clear();
    chosen_ = 0;
    if (!pattern_.empty() || ifExists_ != IfExists::Rename) {
        const bool keepGoing = ifExists_ == IfExists::Replace || ifExists_ == IfExists::Skip;
        for (int32_t k = 0; k < count; ++k) {
            if (job.Stopped()) return false;
            const std::string name = nameOf("", k);
            if (PathLength(name) > kMaxPathLength) {
                job.LastError = kNoFreeName;
                return false;
            }
            if (!NameTaken(name)) continue;
            if (keepGoing) {
                taken_[static_cast<size_t>(k)] = true;
                continue;
            }
            job.OutputPath = name;
            job.LastError = kNameTaken;
            return false;
        }
        return true;
    }
    for (int place = 0; place < kDiscriminators; ++place) {
        const std::string candidate = DiscriminatorAt(place);
        if (PathLength(base_ + candidate + longest) > kMaxPathLength) {
            job.LastError = kNoFreeName;
            return false;
        }
        bool taken = false;
        for (int32_t k = 0; k < count && !taken; ++k) {
            if (job.Stopped()) return false;
            taken = NameTaken(nameOf(candidate, k));
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

bool OutputNaming::Choose(Job& job, int32_t pageCount, int32_t first, int32_t last) {
    pageCount_ = pageCount;
    const std::string longest = std::string(static_cast<size_t>(DecimalDigits(pageCount)), '0') + ".pdf";
    return ChooseAmong(job, last - first, longest,
                       [&](const std::string& candidate, int32_t k) { return NameWith(candidate, first + k + 1); });
}

bool OutputNaming::ChooseParts(Job& job, int32_t pageCount, const std::vector<Part>& parts,
                               const std::vector<std::string>& titles) {
    pageCount_ = pageCount;
    parts_ = parts;
    partTitles_ = titles;
    const std::string longest = std::string(static_cast<size_t>(DecimalDigits(pageCount)), '0') + "-" +
                                std::string(static_cast<size_t>(DecimalDigits(pageCount)), '0') + ".pdf";
    return ChooseAmong(job, static_cast<int32_t>(parts.size()), longest,
                       [&](const std::string& candidate, int32_t k) { return PartNameWith(candidate, static_cast<size_t>(k)); });
}

}  // namespace brisel
