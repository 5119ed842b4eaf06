#include "split/file_sinks.h"

#include <algorithm>

#include "base/job_host.h"
#include "split/page_saver.h"
#include "split/split_job.h"

namespace brisel {

DiskSink::DiskSink(const std::string& base, bool useFolder, const std::string& folder, const std::string& pattern) {
    naming_.SetBase(base, useFolder, folder);
    naming_.SetPattern(pattern);
}

DiskSink::~DiskSink() = default;

void DiskSink::SetIfExists(IfExists ifExists) {
    ifExists_ = ifExists;
    naming_.SetIfExists(ifExists);
}

int DiskSink::Begin(Job& job, const OpenedDocument& opened, const SplitPlan& plan) {
    times_ = opened.times;
    firstPages_.clear();
    skipped_ = 0;
    for (const PlannedFile& file : plan.files) firstPages_.push_back(file.first);
    // Names by page, unless the pages chosen leave gaps: then each file's
    // own name is what must be free.
    int32_t low = plan.files.front().first, high = low;
    for (const PlannedFile& file : plan.files) {
        low = std::min(low, file.first);
        high = std::max(high, file.first);
    }
    lowPage_ = low;
    partNames_ = plan.partFiles || high - low + 1 != static_cast<int32_t>(plan.files.size());
    bool chosen;
    if (partNames_) {
        std::vector<Part> parts;
        std::vector<std::string> titles;
        for (const PlannedFile& file : plan.files) {
            parts.push_back(Part{file.first - 1, file.last - 1, file.bookmark, {}});
            titles.push_back(file.nameTitle);
        }
        chosen = naming_.ChooseParts(job, opened.pageCount, parts, titles);
    } else {
        chosen = naming_.Choose(job, opened.pageCount, low - 1, high);
    }
    if (!chosen) return kResultCannotCreate;
    if (plan.dryRun) return 0;
    RemoveStaleTemporaries(FolderOf(NameOf(0)));
    saver_ = std::make_unique<PageSaver>(PageSaver::DefaultThreads(), 4u << 20, 64,
                                         [this](int32_t index, int attempt) { return naming_.AlternativePath(index, attempt); });
    saver_->SetDurable(job.app.SyncPageFiles);
    saver_->SetReplace(ifExists_ == IfExists::Replace);
    saver_->SetStop(&job.StopCode);
    return 0;
}

std::string DiskSink::NameOf(size_t k) const {
    // Names of single pages come from the page, those of parts from the part.
    return partNames_ ? naming_.PathForPart(k) : naming_.PathFor(firstPages_[k]);
}

bool DiskSink::Taken(size_t k) const {
    if (k >= firstPages_.size()) return false;
    return naming_.Taken(partNames_ ? k : static_cast<size_t>(firstPages_[k] - lowPage_));
}

std::string DiskSink::TakenName() const {
    if (naming_.discriminator().empty() || firstPages_.empty()) return std::string();
    return partNames_ ? naming_.PlainPathForPart(0) : naming_.PlainPathFor(firstPages_[0]);
}

std::string DiskSink::UsedName() const { return TakenName().empty() ? std::string() : NameOf(0); }

bool DiskSink::Skip(size_t k) {
    // An existing file is left as it is: a rerun writes only what is missing.
    if (ifExists_ != IfExists::Skip || !Taken(k)) return false;
    ++skipped_;
    return true;
}

bool DiskSink::Take(Job&, size_t k, const PlannedFile& file, std::string& bytes, PageSpans& spans) {
    const std::string path = NameOf(k);
    saver_->Submit(file.first - 1, path, bytes, spans, times_);
    submitted_.emplace_back(file.first - 1, path);
    return !saver_->Failed();
}

int DiskSink::Finish(Job& job, size_t, WarningList& warnings) {
    if (!saver_) return 0;
    // A page file that could not be written ends the job as if it had been
    // the last one tried: the files before it stay, those after it go.
    const int32_t failed = saver_->Finish();
    job.PagesRenamed = saver_->renamed();
    if (failed >= 0) {
        job.LastError = kPageFileNotWritten;
        job.WriteFault = saver_->failedFault();
        job.FailedFile = saver_->failedPath();
        // A folder that is not there could not be made (-o on a read-only
        // file system, a device without room for one more entry): say why.
        FileFault why = FileFault::None;
        if (job.WriteFault == FileFault::NotFound && !CreateFolders(FolderOf(job.FailedFile), &why) &&
            why != FileFault::NotFound)
            job.WriteFault = why;
        job.PagesWritten = static_cast<int32_t>(std::count_if(
            submitted_.begin(), submitted_.end(), [&](const auto& file) { return file.first < failed; }));
        warnings.DropPagesAfter(failed);
    } else if (saver_->syncFault() != FileFault::None) {
        // Written but not known to be on the disk: no "Done".
        job.LastError = kPageFileNotWritten;
        job.WriteFault = saver_->syncFault();
        job.FailedFile = submitted_.empty() ? std::string() : submitted_.back().second;
    }
    for (const auto& [index, path] : submitted_) {
        if (failed >= 0 && index >= failed) continue;
        const auto renamed = saver_->renamedPaths().find(index);
        written_.push_back(renamed == saver_->renamedPaths().end() ? path : renamed->second);
        job.host.PageFileWritten(job, written_.back());
    }
    return failed >= 0 || job.LastError == kPageFileNotWritten ? kResultCannotCreate : 0;
}

bool MemorySink::Take(Job& job, size_t, const PlannedFile& file, std::string& bytes, PageSpans&) {
    if (deliver_(file, bytes)) return true;
    job.StopCode = kStopRequested;
    return false;
}

}  // namespace brisel
